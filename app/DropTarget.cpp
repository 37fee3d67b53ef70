#include "app/DropTarget.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/ClipboardCommand.h"
#include "app/DatabaseView.h"
#include "app/FileCommands.h"
#include "app/ImportCommand.h"
#include "app/resource.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/TextEncoding.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

// What a drop brought: file paths, or else a picture block.
struct Dropped {
    std::vector<std::string> paths;
    std::vector<std::uint8_t> block;
    PictureBlock kind = PictureBlock::Dib;
};

std::vector<std::string> droppedPaths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(toUtf8(path));
    }
    return paths;
}

FORMATETC hglobalFormat(CLIPFORMAT format) {
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

CLIPFORMAT pngFormat() {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"PNG"));
}

bool offers(IDataObject* data, CLIPFORMAT format) {
    FORMATETC wanted = hglobalFormat(format);
    return data->QueryGetData(&wanted) == S_OK;
}

bool offersFilesOrPicture(IDataObject* data) {
    return offers(data, CF_HDROP) || offers(data, pngFormat()) || offers(data, CF_DIB);
}

// A copy of the block in that format; empty when the source does not give it.
std::vector<std::uint8_t> blockOf(IDataObject* data, CLIPFORMAT format) {
    FORMATETC wanted = hglobalFormat(format);
    STGMEDIUM medium{};
    std::vector<std::uint8_t> block;
    if (data->GetData(&wanted, &medium) != S_OK) return block;
    if (const void* bytes = GlobalLock(medium.hGlobal)) {
        const auto* begin = static_cast<const std::uint8_t*>(bytes);
        block.assign(begin, begin + GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return block;
}

std::vector<std::string> pathsOf(IDataObject* data) {
    FORMATETC wanted = hglobalFormat(CF_HDROP);
    STGMEDIUM medium{};
    std::vector<std::string> paths;
    if (data->GetData(&wanted, &medium) != S_OK) return paths;
    paths = droppedPaths(static_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
    return paths;
}

// Files when the drop names any; else the PNG first, as Paste takes it: it
// keeps what a bitmap may lose.
std::unique_ptr<Dropped> takeDrop(IDataObject* data) {
    auto dropped = std::make_unique<Dropped>();
    dropped->paths = pathsOf(data);
    if (dropped->paths.empty()) {
        dropped->block = blockOf(data, pngFormat());
        dropped->kind = PictureBlock::Png;
    }
    if (dropped->paths.empty() && dropped->block.empty()) {
        dropped->block = blockOf(data, CF_DIB);
        dropped->kind = PictureBlock::Dib;
    }
    if (dropped->paths.empty() && dropped->block.empty()) dropped.reset();
    return dropped;
}

// The drop target of the main window. Once a target is registered, the
// window system hands file drops to it too, rather than as WM_DROPFILES. The
// import waits until the drag has ended, so that the source is not held
// while the Import Image dialog is up.
class PictureDropTarget final : public IDropTarget {
public:
    explicit PictureDropTarget(HWND window) : window_(window) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id != IID_IUnknown && id != IID_IDropTarget) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        effect_ = offersFilesOrPicture(data) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        *effect &= effect_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect &= effect_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        effect_ = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        *effect &= effect_;
        if (effect_ != DROPEFFECT_NONE) {
            if (std::unique_ptr<Dropped> dropped = takeDrop(data)) {
                PostMessageW(window_, kDroppedMessage, 0,
                             reinterpret_cast<LPARAM>(dropped.release()));
            }
        }
        effect_ = DROPEFFECT_NONE;
        return S_OK;
    }

private:
    HWND window_;
    long references_ = 1;
    DWORD effect_ = DROPEFFECT_NONE;
};

// As the open dialog gives them: a single file proposed under its name
// without folder and extension, each of several under its file name.
Selection droppedSelection(const std::vector<std::string>& paths) {
    Selection selection;
    selection.severalFiles = paths.size() > 1;
    for (const std::string& path : paths) {
        const std::size_t separator = path.find_last_of("\\/");
        const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
        selection.files.push_back({path, selection.severalFiles ? name : pathBaseName(path)});
    }
    return selection;
}

void importDroppedFiles(AppState& state, const Selection& selection) {
    bool appended = false;
    // A cancelled batch keeps what it appended, and the list shows it.
    if (importFiles(state, state.currentDatabasePath, selection, &appended) == 0 || appended) {
        refreshDatabaseView(state, state.currentDatabasePath, kReload);
        refreshDatabaseView(state, state.currentDatabasePath, kSelectLast);
    }
    setWindowText(state.mainWindow, kAppTitle);
}

}  // namespace

void acceptDrops(HWND mainWindow) {
    DragAcceptFiles(mainWindow, TRUE);
    auto* target = new PictureDropTarget(mainWindow);
    RegisterDragDrop(mainWindow, target);  // holds its own reference
    target->Release();
}

void stopAcceptingDrops(HWND mainWindow) {
    RevokeDragDrop(mainWindow);
}

// A single image database loads as Load does; anything else is a batch of
// pictures for the import flow, which needs a current database.
static void openDroppedFiles(AppState& state, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (paths.size() == 1 && isImageDatabaseFile(paths[0])) {
        openDatabasePath(state, paths[0]);
        setDialogItemText(state.mainWindow, IDC_DATABASE_PATH, state.currentDatabasePath);
        return;
    }
    if (state.currentDatabasePath.empty())
        return void(showMessage(kNeedsDatabase, kMessageCaption));
    importDroppedFiles(state, droppedSelection(paths));
}

void dropFiles(AppState& state, HDROP drop) {
    const std::vector<std::string> paths = droppedPaths(drop);
    DragFinish(drop);
    openDroppedFiles(state, paths);
}

void takeDropped(AppState& state, LPARAM message) {
    const std::unique_ptr<Dropped> dropped(reinterpret_cast<Dropped*>(message));
    if (!dropped->paths.empty()) return openDroppedFiles(state, dropped->paths);
    if (state.currentDatabasePath.empty())
        return void(showMessage(kNeedsDatabase, kMessageCaption));
    importPictureBlock(state, dropped->block, dropped->kind);
}

}  // namespace ferrovel
