/* The product identity module: names the product, its version and its publisher.
 *
 * The starter carries none of these itself. Every name under which an installation keeps state
 * (the product title, the per-user and all-users folders, the product's registry key) and the
 * user details the start screen shows come from this module.
 *
 * File: the starter's built-in identity module name (oeminfo.dll unless the starter was built
 * with another), looked up along the module search path; when it is not found there, the bare
 * name is loaded with the system's search order (the current folder excluded).
 *
 * When: in every start, on the starter's main thread, after the environment is prepared and
 * before anything is derived from the product's names; also in the -register and -unregister
 * runs. The starter loads the module, looks up new_IOemInfo by that exact name and calls it once.
 * The object lives until the end of the start: after RunAppW returned (the module therefore stays
 * loaded while the application runs), or after the registration run, the starter calls Close,
 * then Release, then unloads the module with FreeLibrary. A start that ends in a fatal report
 * ends the process at once: neither Close nor Release is called and the module is not unloaded.
 *
 * What the starter does without it: a module that does not load, that does not export
 * new_IOemInfo, or whose new_IOemInfo answers null (or an object whose table pointer is null)
 * ends the start with the report "Some of application components are missing or corrupted" and
 * the reinstall line, exit code 255.
 *
 * The object: its first machine word points to a table of entry points, each a function whose
 * only argument is the object. The table has at least VELMORA_OEM_TABLE_SIZE (18) positions,
 * numbered from 0; the starter calls the seven named below and never the others, which may be
 * null. A module's object may carry more after the table pointer (embed IOemInfo as the first
 * member of its own structure).
 *
 * Calls, in order, in one start (all on the main thread):
 *   1. product title: GetProductVersion twice (the minor number taken from the first answer, the
 *      major number from the second), then GetProductName;
 *   2. GetCompanyName for the per-user folder, and again for the all-users folder;
 *   3. product key: GetProductVersion twice, GetProductName, GetCompanyName;
 *   4. application start only (not -register or -unregister): GetUserInfoName, GetUserInfoCompany
 *      for the start screen, then GetProductVersion twice for the version text;
 *   5. at the end of the start: Close, then Release.
 * The starter keeps no copy of the version and asks again each time: every call must give the
 * same answer.
 */
#ifndef VELMORA_IDENTITY_H
#define VELMORA_IDENTITY_H

#include "velmora/platform.h"

#ifdef __cplusplus
#include <array>
#endif

/* Exported by the identity module under this exact name. */
#define VELMORA_IDENTITY_FACTORY_EXPORT "new_IOemInfo"

/* Positions in the object's table. */
enum VelmoraOemPosition {
  /* Result ignored (the kit declares it void): the very last call on the object; the object is
   * not touched afterwards. */
  VELMORA_OEM_RELEASE = 1,
  /* A UTF-16 string owned by the object: the product name, the "%s" of the product title
   * "%s %d.%d" (name, major, minor) and the product level of the registry key
   * SOFTWARE\<company>\<product>\<major>.<minor>. A title longer than 259 characters is refused:
   * the start then has no per-user or all-users folder. */
  VELMORA_OEM_GET_PRODUCT_NAME = 3,
  /* Result ignored (void): called once at the end of the start, immediately before Release. */
  VELMORA_OEM_CLOSE = 6,
  /* An unsigned 32-bit packed version: bits 0 to 15 the major number, bits 16 to 31 the minor
   * number (VELMORA_OEM_VERSION builds one). Used for the product title, the registry key and the
   * version text "%d.%d". */
  VELMORA_OEM_GET_PRODUCT_VERSION = 7,
  /* A UTF-16 string: the user name the start screen shows. */
  VELMORA_OEM_GET_USER_INFO_NAME = 10,
  /* A UTF-16 string: the user's company the start screen shows. */
  VELMORA_OEM_GET_USER_INFO_COMPANY = 11,
  /* A UTF-16 string, may be null or empty: the company level of the per-user folder
   * (<roaming application data>\<company>\<product title>), of the all-users folder
   * (<common application data>\<company>\<product title>) and of the registry key. Null or empty
   * leaves both folders empty. */
  VELMORA_OEM_GET_COMPANY_NAME = 17,
  /* The least number of positions a table has. */
  VELMORA_OEM_TABLE_SIZE = 18
};

/* The packed version for a major and a minor number (each 0 to 65535). 25.2 is 0x00020019. */
#define VELMORA_OEM_VERSION(major, minor) ((((UINT32)(minor) & 0xFFFFu) << 16) | ((UINT32)(major) & 0xFFFFu))

VELMORA_BEGIN_C

/* A table entry as stored: any of the entry types below, converted to this type. */
typedef void (*VelmoraOemEntry)(void);

typedef struct IOemInfo {
  /* VELMORA_OEM_TABLE_SIZE entries or more, indexed by VelmoraOemPosition. */
  const VelmoraOemEntry* table;
} IOemInfo;

/* Release and Close. */
typedef void (*VelmoraOemVoidEntry)(IOemInfo* self);
/* GetProductName, GetUserInfoName, GetUserInfoCompany, GetCompanyName. The strings stay owned by
 * the object: the starter never frees or changes them. It uses the product and company names at
 * once, the user name and user company until the start screen has been launched; a string that
 * stays valid until Close is always valid long enough. */
typedef LPCWSTR (*VelmoraOemTextEntry)(IOemInfo* self);
/* GetProductVersion. */
typedef UINT32 (*VelmoraOemVersionEntry)(IOemInfo* self);
/* new_IOemInfo. */
typedef IOemInfo* (*VelmoraOemFactory)(void);

/* The identity module's one export. No arguments; answers the object, which must stay valid
 * until its Release. Called once per start. */
VELMORA_ENTRY_POINT IOemInfo* new_IOemInfo(void);

VELMORA_END_C

#ifdef __cplusplus
namespace velmora {

/* The entries the starter calls; a module that wants to notice a call to any other position gives
 * `other`, which fills every position not named here (null by default: never called). */
struct OemEntries {
  VelmoraOemVoidEntry release;
  VelmoraOemTextEntry productName;
  VelmoraOemVoidEntry close;
  VelmoraOemVersionEntry productVersion;
  VelmoraOemTextEntry userInfoName;
  VelmoraOemTextEntry userInfoCompany;
  VelmoraOemTextEntry companyName;
  VelmoraOemVoidEntry other = nullptr;
};

using OemTable = std::array<VelmoraOemEntry, VELMORA_OEM_TABLE_SIZE>;

/* A table with every entry at its position. Keep it alive (static storage) as long as the object
 * that points to it. */
inline OemTable MakeOemTable(const OemEntries& entries) {
  OemTable table;
  table.fill(reinterpret_cast<VelmoraOemEntry>(entries.other));
  table[VELMORA_OEM_RELEASE] = reinterpret_cast<VelmoraOemEntry>(entries.release);
  table[VELMORA_OEM_GET_PRODUCT_NAME] = reinterpret_cast<VelmoraOemEntry>(entries.productName);
  table[VELMORA_OEM_CLOSE] = reinterpret_cast<VelmoraOemEntry>(entries.close);
  table[VELMORA_OEM_GET_PRODUCT_VERSION] = reinterpret_cast<VelmoraOemEntry>(entries.productVersion);
  table[VELMORA_OEM_GET_USER_INFO_NAME] = reinterpret_cast<VelmoraOemEntry>(entries.userInfoName);
  table[VELMORA_OEM_GET_USER_INFO_COMPANY] = reinterpret_cast<VelmoraOemEntry>(entries.userInfoCompany);
  table[VELMORA_OEM_GET_COMPANY_NAME] = reinterpret_cast<VelmoraOemEntry>(entries.companyName);
  return table;
}

}  // namespace velmora
#endif

#endif /* VELMORA_IDENTITY_H */
