#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include <velmora/identity.h>

#include "common/unique_handle.h"

namespace velmora {

struct ProductVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
};

// "%s %d.%d" over the product name and the version; empty when it does not fit 260 characters.
std::wstring FormatProductTitle(const wchar_t* productName, ProductVersion version);

// "%d.%d" over the version.
std::wstring FormatVersionText(ProductVersion version);

// The identity module and the object its factory made. Dropping it closes and releases the object,
// then unloads the module: the teardown of a start.
class ProductIdentity {
 public:
  // Nothing when the module does not load, lacks the factory, or the factory gives no object.
  static std::optional<ProductIdentity> Load(const std::wstring& modulePath);

  ProductIdentity(ProductIdentity&& other) noexcept;
  ProductIdentity& operator=(ProductIdentity&&) = delete;
  ProductIdentity(const ProductIdentity&) = delete;
  ProductIdentity& operator=(const ProductIdentity&) = delete;
  ~ProductIdentity();

  // Asked anew every time: the provider answers the same on every call.
  ProductVersion Version() const;
  const wchar_t* ProductName() const;
  const wchar_t* CompanyName() const;
  const wchar_t* UserInfoName() const;
  const wchar_t* UserInfoCompany() const;

  std::wstring ProductTitle() const;
  std::wstring VersionText() const;

 private:
  ProductIdentity(UniqueModule module, IOemInfo* object) : module_(std::move(module)), object_(object) {}

  template <typename Entry>
  Entry At(VelmoraOemPosition position) const {
    return reinterpret_cast<Entry>(object_->table[position]);
  }
  const wchar_t* Text(VelmoraOemPosition position) const;

  UniqueModule module_;
  IOemInfo* object_;
};

}  // namespace velmora
