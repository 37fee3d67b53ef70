#include "tests/gui/TestPrinter.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel::gui {
namespace {

// Wine's own generic printer description, with a resolution added to it.
std::string printerDescription(const std::string& resolution) {
    HMODULE spooler = LoadLibraryA("winspool.drv");
    HRSRC resource = spooler ? FindResourceA(spooler, MAKEINTRESOURCEA(1), "PPDFILE") : nullptr;
    if (!resource) return std::string();
    const char* text = static_cast<const char*>(LockResource(LoadResource(spooler, resource)));
    std::string description(text, strnlen(text, SizeofResource(spooler, resource)));
    const std::string options =
        "*OpenUI *Resolution/Resolution: PickOne\n*DefaultResolution: " + resolution +
        "\n*Resolution " + resolution + "/" + resolution + ": \"\"\n*CloseUI: *Resolution\n";
    const std::size_t at = description.find("*OpenUI *PageSize");
    description.insert(at == std::string::npos ? description.size() : at, options);
    return description;
}

// Makes the printer's default page setting use its resolution, which may
// differ across and down ("600x300dpi").
bool setDefaultResolution(const TestPrinter& printer) {
    int across = 0, down = 0;
    if (std::sscanf(printer.resolution.c_str(), "%dx%d", &across, &down) != 2) down = across;
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.name.c_str()), &handle, &access)) return false;
    const LONG size = DocumentPropertiesA(nullptr, handle, const_cast<char*>(printer.name.c_str()),
                                          nullptr, nullptr, 0);
    std::vector<BYTE> buffer(static_cast<std::size_t>(size > 0 ? size : 0));
    auto* mode = reinterpret_cast<DEVMODEA*>(buffer.data());
    bool ok =
        size > 0 && DocumentPropertiesA(nullptr, handle, const_cast<char*>(printer.name.c_str()),
                                        mode, nullptr, DM_OUT_BUFFER) == IDOK;
    if (ok) {
        mode->dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        mode->dmPrintQuality = static_cast<short>(across);
        mode->dmYResolution = static_cast<short>(down);
        // The driver takes its default page setting from the per-user one.
        PRINTER_INFO_9A perUser{mode};
        ok = SetPrinterA(handle, 9, reinterpret_cast<BYTE*>(&perUser), 0) != 0;
    }
    ClosePrinter(handle);
    return ok;
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

bool installTestPrinter(const TestPrinter& printer) {
    const std::string target = unixPath(printer.jobPath);
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", printer.port.c_str(),
                    REG_SZ, target.c_str(), static_cast<DWORD>(target.size() + 1));
    if (HANDLE existing = nullptr;
        OpenPrinterA(const_cast<char*>(printer.name.c_str()), &existing, nullptr)) {
        ClosePrinter(existing);
        return setDefaultResolution(printer);
    }
    const std::string description = printerDescription(printer.resolution);
    const std::string descriptionPath = printer.jobPath + ".ppd";
    if (description.empty() ||
        !fixtures::writeFileBytes(descriptionPath,
                                  fixtures::Bytes(description.begin(), description.end()))) {
        return false;
    }
    AddPrintProcessorA(nullptr, nullptr, const_cast<char*>("wineps.drv"),
                       const_cast<char*>("wineps"));
    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>(printer.name.c_str());
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    driver.pDataFile = const_cast<char*>(descriptionPath.c_str());
    driver.pDefaultDataType = const_cast<char*>("RAW");
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver),
                             APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY)) {
        return false;
    }
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(printer.name.c_str());
    info.pDriverName = const_cast<char*>(printer.name.c_str());
    info.pPortName = const_cast<char*>(printer.port.c_str());
    // The "winprint" processor delivers the job to the port; Wine's own leaves it spooled.
    info.pPrintProcessor = const_cast<char*>("winprint");
    info.pDatatype = const_cast<char*>("RAW");
    info.pParameters = info.pShareName = info.pSepFile = const_cast<char*>("");
    HANDLE handle = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!handle) return false;
    ClosePrinter(handle);
    return setDefaultResolution(printer);
}

PrinterGeometry printerGeometry(const std::string& name) {
    PrinterGeometry geometry;
    // With the per-user page setting given explicitly: the driver keeps what
    // it first read of a printer for the rest of the process, and this
    // process may have read it before the resolution was set.
    HANDLE printer = nullptr;
    std::vector<BYTE> perUser;
    const DEVMODEA* mode = nullptr;
    if (OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr)) {
        DWORD needed = 0;
        GetPrinterA(printer, 9, nullptr, 0, &needed);
        perUser.resize(needed);
        if (needed > 0 && GetPrinterA(printer, 9, perUser.data(), needed, &needed)) {
            mode = reinterpret_cast<PRINTER_INFO_9A*>(perUser.data())->pDevMode;
        }
        ClosePrinter(printer);
    }
    HDC dc = CreateDCA("WINSPOOL", name.c_str(), nullptr, mode);
    if (!dc) return geometry;
    geometry.dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    geometry.dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    geometry.offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    geometry.offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    DeleteDC(dc);
    return geometry;
}

RenderedPage renderJob(const std::string& jobPath, const PrinterGeometry& geometry) {
    RenderedPage page;
    const std::string imagePath = jobPath + ".ppm";
    DeleteFileA(imagePath.c_str());
    // Wine starts a Unix program as it starts a Windows one.
    std::string command = "/usr/bin/gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r" +
                          std::to_string(geometry.dpiX) + "x" + std::to_string(geometry.dpiY) +
                          " \"-sOutputFile=" + unixPath(imagePath) + "\" \"" + unixPath(jobPath) +
                          "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return page;
    }
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The wait may end before a Unix program's output is all there: wait for the whole image.
    testing::Ppm ppm = testing::readPpm(imagePath);
    for (int attempt = 0; attempt < 300 && ppm.width == 0; ++attempt) {
        Sleep(100);
        ppm = testing::readPpm(imagePath);
    }
    page.width = ppm.width;
    page.height = ppm.height;
    for (std::size_t i = 0; i < ppm.rgb.size(); i += 3)
        page.pixels.push_back(std::uint32_t{ppm.rgb[i]} << 16 | std::uint32_t{ppm.rgb[i + 1]} << 8 |
                              ppm.rgb[i + 2]);
    return page;
}

}  // namespace ferrovel::gui
