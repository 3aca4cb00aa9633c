/* The start-screen program and its parameter file: a separate program that the starter starts
 * beside the application, in a workspace of its own per user profile.
 *
 * When: in every application start (never with -register or -unregister), on the starter's main
 * thread, after the upgrade question and before the user data is provisioned and the main module
 * is loaded. The starter
 *   1. prepares the profile's workspace <per-user folder>\ss20\profiles\<profile>, filling it from
 *      <all-users folder>\ss20\vmss_files (emptied and filled again when that source's
 *      last.version holds a greater number than the workspace's); no workspace, no start screen;
 *   2. writes the parameter file <workspace>\ini.xml (below), replacing a file that does not load
 *      by the source's ini.xml first, and saves it completely (or leaves it as it was when an
 *      element is missing) before the program starts;
 *   3. starts VELMORA_START_SCREEN_PROGRAM with the command line
 *          vuvevorodidaviz.exe "<full path of the parameter file>"
 *      and nothing else. The program is looked up in the starter's folder, then along PATH (never
 *      in the current folder); it inherits the starter's environment of that moment (the platform
 *      folders are not in it yet), its current folder and its inheritable handles;
 *   4. keeps no handle: it never waits for the program, signals it or ends it. The identifier of
 *      the program's main thread goes to the main module's SetStartScreenThreadId
 *      (velmora/main_module.h); 0 when no program was started, and the application starts all the
 *      same.
 *
 * The parameter file: an XML document whose root element may have any name. The element paths
 * below are relative to the root ("MainAppParams/Name" is the element Name in the element
 * MainAppParams, a child of the root); the first element in document order counts. The starter
 * never creates, removes or renames an element or attribute: it replaces the text of the elements
 * listed here, which must all exist (so the template must hold them). The file keeps the XML
 * declaration it was loaded with.
 */
#ifndef VELMORA_START_SCREEN_H
#define VELMORA_START_SCREEN_H

#include "velmora/platform.h"

#define VELMORA_START_SCREEN_PROGRAM L"vuvevorodidaviz.exe"
#define VELMORA_PARAMETER_FILE_NAME L"ini.xml"

/* Written at every start, in this order. */
/* The product title, "<product name> <major>.<minor>". */
#define VELMORA_PARAM_NAME L"MainAppParams/Name"
/* "<major>.<minor>". */
#define VELMORA_PARAM_VERSION L"MainAppParams/Version"
/* The text of VELMORA_PARAM_START_CAPTION. */
#define VELMORA_PARAM_CAPTION L"MainAppParams/AppNames/Caption"
/* The identity module's user name and user company. */
#define VELMORA_PARAM_USER_NAME L"MainAppParams/UserInfo/UserName"
#define VELMORA_PARAM_COMPANY_NAME L"MainAppParams/UserInfo/CompanyName"
/* The application's name for DDE: the starter's option -a, else the product title. */
#define VELMORA_PARAM_DDE_APP_NAME L"MainAppParams/DdeServer/AppName"
/* <workspace>\htmls. */
#define VELMORA_PARAM_HTMLS_PATH L"MainAppParams/PagesPath/HTMLsPath"
/* <all-users folder>\ss20\vmss_files. */
#define VELMORA_PARAM_FILES_SOURCE L"MainAppParams/Dirs/VmSsFilesSource"
/* <per-user folder>\Samples, \TestDrive and \kelptrx. */
#define VELMORA_PARAM_SAMPLES_PATH L"MainAppParams/Dirs/SamplesPath"
#define VELMORA_PARAM_TEST_DRIVE_PATH L"MainAppParams/Dirs/TestDrivePath"
#define VELMORA_PARAM_KELPTRX_PATH L"MainAppParams/Dirs/KelptrxPath"
/* The text of VELMORA_PARAM_START_STRING, followed by " (<build>)" when the product key under
 * HKEY_LOCAL_MACHINE holds the text InstallerBuild. */
#define VELMORA_PARAM_STATUS_STRING L"MainAppParams/Status/String"
/* "1". */
#define VELMORA_PARAM_STATUS_VALUE L"MainAppParams/Status/Value"
/* Emptied at every start. */
#define VELMORA_PARAM_SHOW_TAB L"MainAppParams/Commands/ShowTab"
#define VELMORA_PARAM_SHOW_HTML_PAGE L"MainAppParams/Commands/ShowHtmlPage"
#define VELMORA_PARAM_SHOW_HTML_ELEMENT_BY_ID L"MainAppParams/Commands/ShowHtmlElementById"

/* Read, never written: the base texts the caption and the status line are made from at every
 * start, so that the build suffix never accumulates. */
#define VELMORA_PARAM_START_CAPTION L"MainAppParams/AppNames/StartCaption"
#define VELMORA_PARAM_START_STRING L"MainAppParams/Status/StartString"

#endif /* VELMORA_START_SCREEN_H */
