/* The product identity module, in C: its table of entry points filled by position. */
#include <windows.h>

#include <velmora/identity.h>

static void Nothing(IOemInfo* self) { (void)self; }
static LPCWSTR ProductName(IOemInfo* self) { (void)self; return L"Kit Product"; }
static UINT32 ProductVersion(IOemInfo* self) { (void)self; return VELMORA_OEM_VERSION(3, 1); }
static LPCWSTR UserName(IOemInfo* self) { (void)self; return L"Kit User"; }
static LPCWSTR UserCompany(IOemInfo* self) { (void)self; return L"Kit Office"; }
static LPCWSTR CompanyName(IOemInfo* self) { (void)self; return L"Velmora Kit Consumer"; }

static const VelmoraOemEntry table[VELMORA_OEM_TABLE_SIZE] = {
    [VELMORA_OEM_RELEASE] = (VelmoraOemEntry)Nothing,
    [VELMORA_OEM_GET_PRODUCT_NAME] = (VelmoraOemEntry)ProductName,
    [VELMORA_OEM_CLOSE] = (VelmoraOemEntry)Nothing,
    [VELMORA_OEM_GET_PRODUCT_VERSION] = (VelmoraOemEntry)ProductVersion,
    [VELMORA_OEM_GET_USER_INFO_NAME] = (VelmoraOemEntry)UserName,
    [VELMORA_OEM_GET_USER_INFO_COMPANY] = (VelmoraOemEntry)UserCompany,
    [VELMORA_OEM_GET_COMPANY_NAME] = (VelmoraOemEntry)CompanyName,
};

static IOemInfo identity = {table};

__declspec(dllexport) IOemInfo* new_IOemInfo(void) { return &identity; }
