#include "launcher/product_identity.h"

#include <cstddef>
#include <cwchar>
#include <type_traits>

#include "common/entry_point.h"
#include "common/paths.h"
#include "common/trace.h"

namespace velmora {

// What every identity module already built relies on: the object's first word is the table, and
// the positions and the least table size stay where they are.
static_assert(offsetof(IOemInfo, table) == 0);
static_assert(VELMORA_OEM_RELEASE == 1);
static_assert(VELMORA_OEM_GET_PRODUCT_NAME == 3);
static_assert(VELMORA_OEM_CLOSE == 6);
static_assert(VELMORA_OEM_GET_PRODUCT_VERSION == 7);
static_assert(VELMORA_OEM_GET_USER_INFO_NAME == 10);
static_assert(VELMORA_OEM_GET_USER_INFO_COMPANY == 11);
static_assert(VELMORA_OEM_GET_COMPANY_NAME == 17);
static_assert(VELMORA_OEM_TABLE_SIZE == 18);
static_assert(VELMORA_OEM_VERSION(25, 2) == 0x00020019);
static_assert(std::is_same_v<decltype(&new_IOemInfo), VelmoraOemFactory>);

std::wstring FormatProductTitle(const wchar_t* productName, ProductVersion version) {
  // Without a product name there is nothing to keep the user's state under.
  if (productName == nullptr || *productName == L'\0') return {};
  wchar_t title[kPathCapacity];
  const int length = std::swprintf(title, kPathCapacity, L"%ls %u.%u", productName,
                                   static_cast<unsigned>(version.major), static_cast<unsigned>(version.minor));
  // A title that does not fit names no folder or key: refused rather than cut.
  if (length < 0 || static_cast<std::size_t>(length) >= kPathCapacity) return {};
  return title;
}

std::wstring FormatVersionText(ProductVersion version) {
  return std::to_wstring(version.major) + L'.' + std::to_wstring(version.minor);
}

std::optional<ProductIdentity> ProductIdentity::Load(const std::wstring& modulePath) {
  if (modulePath.empty()) return std::nullopt;
  UniqueModule module(LoadTracedModule(modulePath.c_str()));
  if (!module) return std::nullopt;
  const auto factory = FindEntryPoint<VelmoraOemFactory>(module.Get(), VELMORA_IDENTITY_FACTORY_EXPORT);
  if (factory == nullptr) return std::nullopt;
  IOemInfo* object = factory();
  if (object == nullptr || object->table == nullptr) return std::nullopt;
  return ProductIdentity(std::move(module), object);
}

ProductIdentity::ProductIdentity(ProductIdentity&& other) noexcept
    : module_(std::move(other.module_)), object_(std::exchange(other.object_, nullptr)) {}

ProductIdentity::~ProductIdentity() {
  if (object_ == nullptr) return;
  At<VelmoraOemVoidEntry>(VELMORA_OEM_CLOSE)(object_);
  At<VelmoraOemVoidEntry>(VELMORA_OEM_RELEASE)(object_);
  // The module is unloaded by module_, after the object is gone.
}

ProductVersion ProductIdentity::Version() const {
  const auto version = At<VelmoraOemVersionEntry>(VELMORA_OEM_GET_PRODUCT_VERSION);
  const std::uint32_t first = version(object_);
  const std::uint32_t second = version(object_);
  return {static_cast<std::uint16_t>(second & 0xFFFF), static_cast<std::uint16_t>(first >> 16)};
}

const wchar_t* ProductIdentity::Text(VelmoraOemPosition position) const {
  return At<VelmoraOemTextEntry>(position)(object_);
}
const wchar_t* ProductIdentity::ProductName() const { return Text(VELMORA_OEM_GET_PRODUCT_NAME); }
const wchar_t* ProductIdentity::CompanyName() const { return Text(VELMORA_OEM_GET_COMPANY_NAME); }
const wchar_t* ProductIdentity::UserInfoName() const { return Text(VELMORA_OEM_GET_USER_INFO_NAME); }
const wchar_t* ProductIdentity::UserInfoCompany() const { return Text(VELMORA_OEM_GET_USER_INFO_COMPANY); }

std::wstring ProductIdentity::ProductTitle() const {
  const ProductVersion version = Version();
  return FormatProductTitle(ProductName(), version);
}

std::wstring ProductIdentity::VersionText() const { return FormatVersionText(Version()); }

}  // namespace velmora
