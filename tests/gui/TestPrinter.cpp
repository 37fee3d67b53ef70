#include "tests/gui/TestPrinter.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <vector>

#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel::gui {
namespace {

char kName[] = "Ferrovel Test 600x300";

// Wine's own generic printer description, with the test's resolution added,
// written beside the page file for the driver that the printer is added with.
HANDLE addPrinter(const std::string& descriptionPath) {
    HMODULE spooler = LoadLibraryA("winspool.drv");
    HRSRC resource = spooler ? FindResourceA(spooler, MAKEINTRESOURCEA(1), "PPDFILE") : nullptr;
    if (!resource) return nullptr;
    const char* text = static_cast<const char*>(LockResource(LoadResource(spooler, resource)));
    std::string description(text, strnlen(text, SizeofResource(spooler, resource)));
    const std::size_t at = description.find("*OpenUI *PageSize");
    description.insert(at == std::string::npos ? description.size() : at,
                       "*OpenUI *Resolution/Resolution: PickOne\n*DefaultResolution: 600x300dpi\n"
                       "*Resolution 600x300dpi/600x300dpi: \"\"\n*CloseUI: *Resolution\n");
    if (!fixtures::writeFileBytes(descriptionPath,
                                  fixtures::Bytes(description.begin(), description.end())))
        return nullptr;
    char driverFile[] = "wineps.drv", raw[] = "RAW", none[] = "";
    // Version, name, environment, driver, data file, configuration and data type.
    DRIVER_INFO_3A driver{
        3,          kName,   nullptr, driverFile, const_cast<char*>(descriptionPath.c_str()),
        driverFile, nullptr, nullptr, nullptr,    raw};
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver),
                             APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY))
        return nullptr;
    // The "winprint" processor delivers the job to the port; Wine's own leaves it spooled.
    char port[] = "LPT2:", processor[] = "winprint";
    PRINTER_INFO_2A info{};
    info.pPrinterName = info.pDriverName = kName;
    info.pPortName = port;
    info.pPrintProcessor = processor;
    info.pDatatype = raw;
    info.pParameters = info.pShareName = info.pSepFile = none;
    return AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
}

}  // namespace

std::string unixPath(const std::string& windowsPath) {
    using Convert = char*(CDECL*)(LPCWSTR);
    // Through void*: an exported function's real type is not the one GetProcAddress declares.
    auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return windowsPath;
    wchar_t wide[MAX_PATH * 2] = {};
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
    char* unix = convert(wide);
    const std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::string installTestPrinter() {
    // One fixed place rather than a folder of each test process: the spooler
    // keeps what a port writes to from its first job on.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string pagePath = std::string(temp) + "ferrovel-printed-page.ppm";
    // The spooler starts the command of a port that begins with "|" and feeds it the job.
    const std::string render =
        "|/usr/bin/gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r600x300 \"-sOutputFile=" +
        unixPath(pagePath) + "\" -";
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", "LPT2:", REG_SZ,
                    render.c_str(), static_cast<DWORD>(render.size() + 1));
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(kName, &printer, &access) && !(printer = addPrinter(pagePath + ".ppd")))
        return std::string();
    // The driver takes its default page setting from the per-user one, and
    // only a page setting can make the two directions differ.
    const LONG size = DocumentPropertiesA(nullptr, printer, kName, nullptr, nullptr, 0);
    std::vector<BYTE> buffer(static_cast<std::size_t>(size > 0 ? size : 0));
    auto* mode = reinterpret_cast<DEVMODEA*>(buffer.data());
    bool ok = size > 0 &&
              DocumentPropertiesA(nullptr, printer, kName, mode, nullptr, DM_OUT_BUFFER) == IDOK;
    if (ok) {
        mode->dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        mode->dmPrintQuality = kPrinterDpiX;
        mode->dmYResolution = kPrinterDpiY;
        PRINTER_INFO_9A perUser{mode};
        ok = SetPrinterA(printer, 9, reinterpret_cast<BYTE*>(&perUser), 0) != 0;
    }
    ClosePrinter(printer);
    return ok && SetDefaultPrinterA(kName) ? pagePath : std::string();
}

}  // namespace ferrovel::gui
