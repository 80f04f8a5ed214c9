#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/ImageControl.h"
#include "ui/Controls.h"
#include "ui/Gdi.h"

// What the picker's preview shows for one file.
enum class PreviewKind { Placeholder, Image, Text };

struct PreviewContent {
    PreviewKind kind = PreviewKind::Placeholder;
    ui::Bitmap bitmap;  // kind Image
    std::wstring text;  // kind Text: the file's lines joined by CR LF
};

// The side of the preview square, in pixels.
constexpr int kPreviewSize = 150;

// The file's extension from the last dot, lower-cased ("" when it has none).
std::wstring LowerExtension(const std::wstring& path);
// The grey (0x808080) 150 × 150, 24-bit placeholder.
ui::Bitmap MakePlaceholder();
// Decodes a JPEG file onto a 24-bit bitmap of its own size; null when the file cannot be read
// or is damaged (the decoder's errors never end the process).
HBITMAP DecodeJpeg(const std::wstring& path);
// The preview of one file by its extension (compared in lower case): ".bmp"/".wmf" and ".jpg"
// as a picture, ".ico" drawn at (60, 60) on a 150 × 150 bitmap of `panelColour`, ".txt",
// ".log" and ".doc" as text; anything else, and any file that cannot be loaded, the placeholder.
PreviewContent LoadPreview(const std::wstring& path, COLORREF panelColour);
// The eight lines of the settings label, joined by CR LF.
std::wstring SettingsText(int fileCount, int eraseMode, bool exclusionOn);

// Picture control of the preview: a picture larger than the control is scaled down keeping
// its proportions, and every picture is centred; the rest shows the button face.
class TPreviewImage : public TImageControl {
public:
    bool CreatePreview(HWND parent, int x, int y, int width, int height, int id);
    // Where the picture is drawn inside the control.
    RECT PictureRect() const;
    // Draws a lowered frame over the control's edge (the bevel around the preview).
    void SetFramed(bool framed) { framed_ = framed; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintPreview(HDC dc) const;
    void PaintFrame(HDC dc) const;

    bool framed_ = false;
};

// The file picker: the platform's Explorer-style open dialog extended by a panel with a
// preview of the selected file, the settings that will govern the added files and a toggle
// that switches the exclusions off for this one adding.
class TTidemarrowOpenDialog {
public:
    TTidemarrowOpenDialog();
    ~TTidemarrowOpenDialog();
    TTidemarrowOpenDialog(const TTidemarrowOpenDialog&) = delete;
    TTidemarrowOpenDialog& operator=(const TTidemarrowOpenDialog&) = delete;

    // Stores what the settings panel shows; call before Execute.
    void SetCurrentSettings(int fileCount, int eraseMode, bool exclusionOn);
    // The folder the dialog opens in (empty: the platform's choice).
    void SetInitialDir(const std::wstring& folder) { initialDir_ = folder; }
    // Runs the dialog; true when the user confirmed. The chosen paths are then in Files().
    bool Execute(HWND owner = nullptr);
    const std::vector<std::wstring>& Files() const { return files_; }
    // Whether the exclusions apply to the chosen files, as the user left the exclusion toggle.
    bool ExclusionInForce() const { return exclusionOn_ == 1; }

    // While the dialog is shown: its extension window (the hook's dialog) and the panel's parts.
    HWND ExtensionWindow() const { return extension_; }
    HWND PreviewPanel() const { return previewPanel_.Handle(); }
    TPreviewImage& Preview() { return preview_; }
    HWND PreviewCheckBox() const { return previewCheckBox_; }
    HWND PreviewFrame() const { return previewFrame_; }
    HWND TextPreview() const { return textPreview_; }
    HWND SettingsGroup() const { return settingsGroup_; }
    HWND ExclusionToggle() const { return exclusionToggle_; }
    HWND SettingsLabel() const { return settingsLabel_; }
    // The placeholder bitmap shown when there is no preview.
    HBITMAP Placeholder() const { return placeholder_.get(); }
    // True when the image shows the placeholder.
    bool ShowsPlaceholder() const { return showsPlaceholder_; }

    // Previews `path` as a selection change does (steps 1 and 2).
    void PreviewFile(const std::wstring& path);
    // Sets the settings label from the stored values, and the exclusion toggle down unless
    // exclusions are on.
    void UpdateSettingsText();

private:
    static UINT_PTR CALLBACK HookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Hook(UINT message, WPARAM wParam, LPARAM lParam);

    void DoShow();
    void PlacePanel();
    void MakeRoomForPanel();
    // The settings text's size: on one line per line of text, or wrapped within `width`.
    SIZE SettingsTextSize(int width) const;
    // The label takes its text's size inside the group, wrapped where the group is narrower.
    void FitSettingsLabel();
    void DoClose();
    void DoSelectionChange();
    void ExclusionToggleClick();
    void PreviewCheckBoxClick();
    void ClearPreview();
    bool ExecuteFallback(HWND owner);
    void CollectFiles(const std::vector<wchar_t>& buffer);

    int fileCount_ = 0;
    int eraseMode_ = 0;
    unsigned char exclusionOn_ = 0;

    std::wstring initialDir_;
    std::vector<std::wstring> files_;
    HWND extension_ = nullptr;

    ui::Panel previewPanel_;
    TPreviewImage preview_;
    ui::Bitmap placeholder_;
    ui::Font textFont_;
    bool showsPlaceholder_ = true;
    HWND previewCheckBox_ = nullptr;
    HWND previewFrame_ = nullptr;
    HWND textPreview_ = nullptr;
    HWND settingsGroup_ = nullptr;
    HWND exclusionToggle_ = nullptr;
    HWND settingsLabel_ = nullptr;
};
