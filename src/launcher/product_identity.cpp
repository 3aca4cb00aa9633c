#include "launcher/product_identity.h"

#include <cwchar>

#include "common/entry_point.h"
#include "common/paths.h"
#include "common/trace.h"

namespace velmora {

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
  const auto factory = FindEntryPoint<OemFactory>(module.Get(), kOemFactoryName);
  if (factory == nullptr) return std::nullopt;
  IOemInfo* object = factory();
  if (object == nullptr || object->table == nullptr) return std::nullopt;
  return ProductIdentity(std::move(module), object);
}

ProductIdentity::ProductIdentity(ProductIdentity&& other) noexcept
    : module_(std::move(other.module_)), object_(std::exchange(other.object_, nullptr)) {}

ProductIdentity::~ProductIdentity() {
  if (object_ == nullptr) return;
  At<OemVoidEntry>(OemPosition::kClose)(object_);
  At<OemVoidEntry>(OemPosition::kRelease)(object_);
  // The module is unloaded by module_, after the object is gone.
}

ProductVersion ProductIdentity::Version() const {
  const auto version = At<OemVersionEntry>(OemPosition::kGetProductVersion);
  const std::uint32_t first = version(object_);
  const std::uint32_t second = version(object_);
  return {static_cast<std::uint16_t>(second & 0xFFFF), static_cast<std::uint16_t>(first >> 16)};
}

const wchar_t* ProductIdentity::Text(OemPosition position) const { return At<OemTextEntry>(position)(object_); }
const wchar_t* ProductIdentity::ProductName() const { return Text(OemPosition::kGetProductName); }
const wchar_t* ProductIdentity::CompanyName() const { return Text(OemPosition::kGetCompanyName); }
const wchar_t* ProductIdentity::UserInfoName() const { return Text(OemPosition::kGetUserInfoName); }
const wchar_t* ProductIdentity::UserInfoCompany() const { return Text(OemPosition::kGetUserInfoCompany); }

std::wstring ProductIdentity::ProductTitle() const {
  const ProductVersion version = Version();
  return FormatProductTitle(ProductName(), version);
}

std::wstring ProductIdentity::VersionText() const { return FormatVersionText(Version()); }

}  // namespace velmora
