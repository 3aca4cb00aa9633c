// The sample start screen: shows the product title, version, user and status line that the starter
// wrote into the parameter file, and closes itself after a few seconds or when clicked.
//
//   vuvevorodidaviz.exe "<parameter file>"
//
// The environment variable VELMORA_SAMPLE_START_SCREEN_MS, when it holds a whole number from 0 to
// 600000, sets how many milliseconds the window stays open (default 5000): the start-up benchmark
// sets 0 so that every start screen closes on its own as soon as it has been shown.
//
// Exit codes: 0 after the window closed, 1 when the parameter file cannot be read, 2 when no
// window can be created; the last two also write one line to the standard output.
#include <windows.h>

#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <velmora/start_screen.h>

#include <cwchar>
#include <memory>
#include <string>
#include <type_traits>

namespace {

constexpr UINT kDefaultCloseAfterMs = 5000;
constexpr UINT kLongestCloseAfterMs = 600000;
constexpr wchar_t kCloseAfterVariable[] = L"VELMORA_SAMPLE_START_SCREEN_MS";
constexpr UINT_PTR kCloseTimer = 1;
constexpr int kWidth = 480;
constexpr int kHeight = 220;
constexpr int kBandHeight = 72;
constexpr int kMargin = 24;
constexpr COLORREF kBandColor = RGB(30, 70, 120);
constexpr wchar_t kWindowClass[] = L"VelmoraSampleStartScreen";

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, DeleteGdiObject>;

struct ReleaseInterface {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using Owned = std::unique_ptr<Interface, ReleaseInterface>;

struct FreeString {
  void operator()(BSTR text) const { ::SysFreeString(text); }
};
using OwnedString = std::unique_ptr<OLECHAR, FreeString>;

// COM on this thread for as long as the owner lives, when this thread had none.
class ComApartment {
 public:
  ComApartment() : status_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(status_)) ::CoUninitialize();
  }

 private:
  HRESULT status_;
};

struct Texts {
  std::wstring caption, title, version, user, status;
};

struct Screen {
  Texts texts;
  UniqueGdiObject titleFont, textFont;
};

void PrintLine(const std::wstring& line) {
  const std::wstring text = line + L"\r\n";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// The variable's whole number of milliseconds when it is one in range; the default otherwise.
UINT CloseAfterMs() {
  wchar_t text[16] = {};
  const DWORD length = ::GetEnvironmentVariableW(kCloseAfterVariable, text, 16);
  if (length == 0 || length >= 16 || std::wcsspn(text, L"0123456789") != length) return kDefaultCloseAfterMs;
  const unsigned long value = std::wcstoul(text, nullptr, 10);
  return value <= kLongestCloseAfterMs ? static_cast<UINT>(value) : kDefaultCloseAfterMs;
}

// The text of the first element at the path below the root; empty when there is none.
std::wstring ElementText(IXMLDOMElement* root, const wchar_t* path) {
  const OwnedString query(::SysAllocString(path));
  IXMLDOMNode* found = nullptr;
  if (!query || root->selectSingleNode(query.get(), &found) != S_OK || found == nullptr) return {};
  const Owned<IXMLDOMNode> node(found);
  BSTR text = nullptr;
  if (FAILED(node->get_text(&text))) return {};
  const OwnedString owned(text);
  return text == nullptr ? std::wstring() : std::wstring(text, ::SysStringLen(text));
}

// The document service's DOMDocument 3.0, told to read nothing but the file: no external entity,
// no DTD (the service would otherwise fetch what the file names), no validation.
Owned<IXMLDOMDocument> LoadDocument(const std::wstring& path) {
  constexpr CLSID kDomDocument30 = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
  constexpr IID kXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
  IXMLDOMDocument2* created = nullptr;
  if (FAILED(::CoCreateInstance(kDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kXmlDomDocument2,
                                reinterpret_cast<void**>(&created))) ||
      created == nullptr) {
    return nullptr;
  }
  Owned<IXMLDOMDocument2> document(created);
  const OwnedString prohibitDtd(::SysAllocString(L"ProhibitDTD"));
  VARIANT yes;
  ::VariantInit(&yes);
  V_VT(&yes) = VT_BOOL;
  V_BOOL(&yes) = VARIANT_TRUE;
  if (!prohibitDtd || FAILED(document->put_async(VARIANT_FALSE)) ||
      FAILED(document->put_resolveExternals(VARIANT_FALSE)) || FAILED(document->put_validateOnParse(VARIANT_FALSE)) ||
      FAILED(document->setProperty(prohibitDtd.get(), yes))) {
    return nullptr;
  }
  VARIANT source;
  ::VariantInit(&source);
  V_VT(&source) = VT_BSTR;
  V_BSTR(&source) = ::SysAllocString(path.c_str());
  if (V_BSTR(&source) == nullptr) return nullptr;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT status = document->load(source, &loaded);
  ::VariantClear(&source);
  if (status != S_OK || loaded != VARIANT_TRUE) return nullptr;
  return Owned<IXMLDOMDocument>(document.release());
}

std::wstring Joined(const std::wstring& first, const std::wstring& second) {
  if (first.empty() || second.empty()) return first + second;
  return first + L", " + second;
}

// Reads what the window shows. The caption and the status line fall back to their base texts, so an
// unfilled template shows something too.
bool ReadParameterFile(const std::wstring& path, Texts& texts) {
  const ComApartment apartment;
  const Owned<IXMLDOMDocument> document = LoadDocument(path);
  if (!document) return false;
  IXMLDOMElement* element = nullptr;
  if (document->get_documentElement(&element) != S_OK || element == nullptr) return false;
  const Owned<IXMLDOMElement> root(element);

  texts.title = ElementText(root.get(), VELMORA_PARAM_NAME);
  texts.caption = ElementText(root.get(), VELMORA_PARAM_CAPTION);
  if (texts.caption.empty()) texts.caption = ElementText(root.get(), VELMORA_PARAM_START_CAPTION);
  if (texts.caption.empty()) texts.caption = texts.title;
  const std::wstring version = ElementText(root.get(), VELMORA_PARAM_VERSION);
  if (!version.empty()) texts.version = L"Version " + version;
  texts.user = Joined(ElementText(root.get(), VELMORA_PARAM_USER_NAME), ElementText(root.get(), VELMORA_PARAM_COMPANY_NAME));
  texts.status = ElementText(root.get(), VELMORA_PARAM_STATUS_STRING);
  if (texts.status.empty()) texts.status = ElementText(root.get(), VELMORA_PARAM_START_STRING);
  return true;
}

UniqueGdiObject MakeFont(int points, int weight) {
  HDC screen = ::GetDC(nullptr);
  const int height = -::MulDiv(points, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
  ::ReleaseDC(nullptr, screen);
  return UniqueGdiObject(::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                       DEFAULT_PITCH | FF_SWISS, L"Segoe UI"));
}

void DrawLine(HDC dc, const std::wstring& text, RECT box, UINT format) {
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              format | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Paint(HWND window, const Screen& screen) {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(window, &paint);
  RECT client{};
  ::GetClientRect(window, &client);
  RECT band = client;
  band.bottom = kBandHeight;
  ::SetDCBrushColor(dc, kBandColor);
  ::FillRect(dc, &band, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
  ::SetBkMode(dc, TRANSPARENT);

  const HGDIOBJ oldFont = ::SelectObject(dc, screen.titleFont.get());
  ::SetTextColor(dc, RGB(255, 255, 255));
  DrawLine(dc, screen.texts.title, {kMargin, 0, client.right - kMargin, kBandHeight}, DT_LEFT | DT_VCENTER);

  ::SelectObject(dc, screen.textFont.get());
  ::SetTextColor(dc, RGB(32, 32, 32));
  DrawLine(dc, screen.texts.version, {kMargin, kBandHeight + 16, client.right - kMargin, kBandHeight + 40}, DT_LEFT);
  DrawLine(dc, screen.texts.user, {kMargin, kBandHeight + 44, client.right - kMargin, kBandHeight + 68}, DT_LEFT);
  ::SetTextColor(dc, RGB(96, 96, 96));
  const RECT footer{kMargin, client.bottom - 40, client.right - kMargin, client.bottom - 16};
  DrawLine(dc, screen.texts.status, footer, DT_LEFT);
  DrawLine(dc, L"Click to close", footer, DT_RIGHT);
  ::SelectObject(dc, oldFont);
  ::EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
    case WM_PAINT:
      if (const auto* screen = reinterpret_cast<const Screen*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        Paint(window, *screen);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
    case WM_TIMER:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::KillTimer(window, kCloseTimer);
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateScreenWindow(HINSTANCE instance, Screen& screen) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&windowClass) == 0) return nullptr;

  RECT workArea{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
  const int left = workArea.left + (workArea.right - workArea.left - kWidth) / 2;
  const int top = workArea.top + (workArea.bottom - workArea.top - kHeight) / 2;
  return ::CreateWindowExW(WS_EX_TOPMOST, kWindowClass, screen.texts.caption.c_str(), WS_POPUP | WS_BORDER, left,
                           top, kWidth, kHeight, nullptr, nullptr, instance, &screen);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  const std::wstring path = arguments != nullptr && count == 2 ? arguments[1] : L"";
  ::LocalFree(arguments);
  if (path.empty()) {
    PrintLine(L"Start screen: no parameter file given (vuvevorodidaviz.exe \"<parameter file>\")");
    return 1;
  }

  Screen screen;
  if (!ReadParameterFile(path, screen.texts)) {
    PrintLine(L"Start screen: cannot read " + path);
    return 1;
  }
  screen.titleFont = MakeFont(20, FW_SEMIBOLD);
  screen.textFont = MakeFont(10, FW_NORMAL);

  HWND window = CreateScreenWindow(instance, screen);
  if (window == nullptr) {
    PrintLine(L"Start screen: cannot create a window");
    return 2;
  }
  ::SetTimer(window, kCloseTimer, CloseAfterMs(), nullptr);
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
