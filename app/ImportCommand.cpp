#include "app/ImportCommand.h"

#include <windows.h>

#include <commdlg.h>

#include <vector>

#include "app/DatabaseView.h"
#include "app/ImportDialog.h"
#include "app/ViewText.h"
#include "database/Append.h"
#include "database/TextEncoding.h"
#include "interchange/PictureFile.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr std::size_t kSelectionChars = 4999;

// Every picture format read, preselected, then the bitmap dialogs' filters.
constexpr wchar_t kPictureFilter[] =
    L"Pictures (*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff)\0"
    L"*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff\0"
    L"Windows Bitmaps (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0";

// A file that is no picture at all, or a bitmap the reader refuses, is passed
// over in silence as the import always did; a picture of another format that
// was recognised but refused (damaged, too large, TIFF outside Windows) is
// worth a word, as the user chose it as a picture.
bool tellRefusal(const PictureReadResult& result) {
    return result.problem != PictureProblem::NotAPicture &&
           result.problem != PictureProblem::OpenFailed && result.format != PictureFormat::Bmp;
}

// A path's last part, the name the user chose the file by.
std::string fileNameOf(const std::string& path) {
    const std::size_t folderEnd = path.find_last_of("\\/");
    return folderEnd == std::string::npos ? path : path.substr(folderEnd + 1);
}

// The size a later picture of an Import All batch is stored at: the chosen
// preset, fitted to the picture's proportions when they were kept.
TargetSize importAllTarget(const ImportOptions& options, const BgrImage& picture) {
    const TargetSize size{picture.width, picture.height};
    const TargetSize box =
        presetBox(options.sizePreset, size, {options.targetWidth, options.targetHeight});
    return options.keepProportions ? fitProportions(box, size) : box;
}

// Appends one picture with the options' format and adjustments; the user
// reads about any failure. True when the picture went in.
bool appendPicture(const std::string& databasePath, const BgrImage& picture,
                   const std::string& name, TargetSize target, const ImportOptions& options) {
    AppendOptions append;
    append.name = name;
    append.targetWidth = target.width;
    append.targetHeight = target.height;
    append.bits = options.formatBits;
    append.dither = options.dither;
    append.brightness = options.brightness;
    append.contrast = options.contrast;
    RewriteReport report;
    const std::int16_t status = appendImage(databasePath, picture, append, &report);
    if (report.restoredFromWork) {
        showMessage(restoredFromWorkText(workFilePath(databasePath)), kImportCaption);
    }
    if (status != 0) showMessage(importStatusMessage(status), kImportCaption);
    return status == 0;
}

// The selection of the open dialog: the part of the buffer before the two
// zero characters that end it, in UTF-8.
std::string selectionText(const std::vector<wchar_t>& buffer) {
    std::size_t end = 0;
    while (end + 1 < buffer.size() && (buffer[end] != L'\0' || buffer[end + 1] != L'\0')) ++end;
    return toUtf8(std::wstring_view(buffer.data(), end));
}

}  // namespace

std::int16_t importFiles(AppState& state, const std::string& databasePath,
                         const Selection& selection, bool* appendedAny) {
    ImportOptions& options = state.importOptions;
    options.importAll = 0;
    if (appendedAny) *appendedAny = false;
    for (const SelectedFile& file : selection.files) {
        const PictureReadResult picture = readPicture(file.path);
        if (picture.status != 0) {
            // Named, as the picture may be one of a batch.
            if (tellRefusal(picture))
                showMessage(fileNameOf(file.path) + ": " + pictureProblemText(picture),
                            kImportCaption);
            continue;
        }
        setWindowText(state.mainWindow, file.proposedName);
        // A picture whose dialog was shown is stored as that dialog left it,
        // Import All's among them; only the later ones follow the preset.
        TargetSize target;
        std::string name;
        if (!options.importAll) {
            showImportDialog(state, {&picture.canvas, file.proposedName, selection.severalFiles},
                             options);
            target = {options.targetWidth, options.targetHeight};
            name = options.name;
        } else {
            target = importAllTarget(options, picture.canvas);
            name = utf8ToHandheld(file.proposedName);
        }
        if (target.width == 0 || target.height == 0) return -1;
        if (appendPicture(databasePath, picture.canvas, name, target, options) && appendedAny) {
            *appendedAny = true;
        }
    }
    return 0;
}

void importCommand(AppState& state) {
    if (state.currentDatabasePath.empty())
        return void(showMessage(kNeedsDatabase, kMessageCaption));
    std::vector<wchar_t> buffer(kSelectionChars + 1, L'\0');
    OPENFILENAMEW dialog = fileDialogFields(state.mainWindow, kPictureFilter, buffer,
                                            L"Import one or more image(s)...", L"bmp");
    // Explorer style: the names come whole, blanks and all, apart from the folder.
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT;
    if (GetOpenFileNameW(&dialog)) {
        bool appended = false;
        const Selection selection = parseSelection(selectionText(buffer));
        // A cancelled batch keeps what it appended, and the list shows it.
        if (importFiles(state, state.currentDatabasePath, selection, &appended) == 0 || appended) {
            refreshDatabaseView(state, state.currentDatabasePath, kReload);
            refreshDatabaseView(state, state.currentDatabasePath, kSelectLast);
        }
    }
    setWindowText(state.mainWindow, kAppTitle);
}

}  // namespace ferrovel
