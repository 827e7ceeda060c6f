// The compose form: the program's only view, filling the main window. It
// holds the address fields, the subject and body, the carrier choice, the
// counters, the display-width controls, the options and the picture area.
#pragma once

#include "compose/bmp_reader.h"
#include "compose/picture_preview.h"
#include "jlode.h"

#include <wx/app.h>
#include <wx/panel.h>
#include <wx/weakref.h>

#include "mapi/simple_mapi.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CEmojiDlg;
class CMainFrame;
class CRichEdit;
class CSubjectEdit;
class CBodyEdit;
class CUpDownCtrl;
class wxButton;
class wxCheckBox;
class wxChoice;
class wxComboBox;
class wxMenu;
class wxMouseEvent;
class wxRadioButton;
class wxTextCtrl;

class CTegamiyaView : public wxPanel {
public:
    explicit CTegamiyaView(CMainFrame *frame);
    ~CTegamiyaView() override;

    // The form's set-up, run once by the frame before it is first shown.
    void OnInitialUpdate();

    // Links the pictograph font beside the executable to the form's face
    // (asking first when another font is linked) and reloads it. True when
    // pictographs may be used.
    bool RegisterEmojiFont();

    // Builds the settings file path <documents>/Tegamiya/Tegamiya.ini and
    // creates its folder. False when the folder cannot be created (`path`
    // then holds the folder); true otherwise, with `path` left empty when
    // the documents folder is unknown.
    bool MakeIniFilePath(std::string &path);

    // Command 57665: posts a close request to the main window, so that every
    // way of leaving goes through its close handler.
    void OnAppExit();

    // The form's size in pixels (its template's size in dialog units).
    wxSize GetFormSize() const;

    const std::string &IniPath() const { return m_strIniPath; }

    // --- Values exchanged with the controls.
    // Members to controls (fields 1013, 1014, 1015, check box 1018), or,
    // with save, the check box back to the width-enabled value.
    void UpdateData(bool save);

    // --- Carriers.
    // The carrier combo box's selection changed (also after a carrier was
    // chosen from an address): new limit, recount, "Vender" saved.
    void OnSelchangeKeitaiVender();
    // Chooses the carrier from a recipient's mail domain (a name is first
    // resolved through the mail system's address book).
    void SelectCarrierByAddress(const std::string &recipient);
    // Applies the display width remembered for a recipient.
    void ApplyRecipientWidth(const std::string &recipient);
    // The To box's selection changed: carrier, picture and width follow it.
    void OnSelchangeMailTo();

    // --- Counting.
    // The body changed: size in full-width characters, number of mails,
    // colour of the pictograph just typed.
    void OnChangeMailBody();
    // The subject changed: colour of the pictograph just typed.
    void OnChangeSubject();
    // Colours the character before the caret of `field` when it is a
    // pictograph of a colour group; the text typed next is black.
    void ColorPictograph(CRichEdit *field, const std::string &text);
    // True when the count is to be shown red (over the limit).
    bool IsCountOverLimit() const { return m_nCount > m_nLimit; }

    // --- Display width and options.
    // Sizes the body to show the chosen number of full-width characters per
    // line, like a phone screen, and stores the width while it is enabled.
    void OnChangeWidthChar();
    void OnEnableWidth();
    void OnOeStart();
    void OnCloseOnSend();

    // --- Recipients: filled in by the recipient history.
    void FillMailToHistory();
    // --- Shortcuts: filled in by the file drop. True with the target path.
    bool ResolveShortcut(const std::string &link, std::string &target);

    // --- Editing commands, clipboard and file drop (tegamiya_view_editing.cpp).
    void OnEditCut();
    void OnEditCopy();
    void OnEditPaste();
    void OnEditUndo();
    void OnEditSelectAll();
    void OnEditDeleteBlanks();
    // Empties the body and recounts (command 1124; also after sending).
    void OnClear();
    // Files dropped anywhere on the form: the first one counts.
    void OnDropFiles(const std::vector<std::string> &paths);
    // The field cut, copy, undo and select-all act on: the subject when it
    // held the focus more recently than the body, else the body.
    CRichEdit *TargetField() const;
    // The right-button menu (412) of the subject and the body, at a screen
    // position, owned by the main window.
    void ShowEditMenu(const wxPoint &screenPos);
    // True when the clipboard holds text (known from the clipboard's own
    // change notices, so that asking costs nothing).
    static bool ClipboardHasText();

    // --- External tools (tegamiya_view_tools.cpp).
    void OnButtonOE();
    void OnButtonKaoMoji();
    void OnButtonBrowser();
    void OnToolsRegistration();
    // The mail client started when none is stored: the outbox window beside
    // the program, else the desktop's mail client ("" when there is none).
    std::string DefaultMailClientPath() const;
    // Where the outbox window and the desktop's mail client are looked for;
    // tests replace them.
    static std::function<std::string()> s_findOutboxWindow;
    static std::function<std::string()> s_findDesktopMailClient;

    // --- Sending and recipients (tegamiya_view_sending.cpp,
    // tegamiya_view_recipients.cpp).
    // Button 1001 and command 1001: hands the mails over, split as the
    // carrier's limit requires; stops at the first failure.
    void OnButtonSend();
    // Buttons 1021, 1022, 1024: the mail system's address book for To, CC
    // and BCC.
    void OnButtonTo();
    // The To box lost the focus: carrier, picture and width follow its text.
    void OnKillfocusMailTo();
    // Command 32780: the recipient history dialog.
    void OnMenuHistoryDelete();
    // Carrier, picture and width for a To text, in that order.
    void RunToRecipientReactions(const std::string &to);
    // True while mails are being handed over (the form takes no input).
    bool IsSending() const { return m_bSending; }

    // State other parts of the program read.
    uint32_t Limit() const { return m_nLimit; }
    uint32_t Count() const { return m_nCount; }
    uint32_t Mails() const { return m_nMails; }
    const std::string &Body() const { return m_strBody; }
    const std::string &OeStartWord() const { return m_strOeStart; }
    bool CloseOnSend() const { return m_bCloseOnSend; }
    const std::string &RecipientAddress() const { return m_strRecipAddress; }
    const std::string &AttachmentPath() const { return m_strAttachPath; }
    const std::vector<std::string> &MailAddressKeys() const { return m_mailAddressKeys; }
    const wxRect &BodyRect() const { return m_rcBody; }
    const wxRect &PictureRect() const { return m_rcPicture; }
    CSubjectEdit *SubjectField() const { return m_pSubject; }
    CBodyEdit *BodyField() const { return m_pBody; }
    CUpDownCtrl *WidthSpin() const { return m_pWidthSpin; }

    // --- Pictures: attachment, preview, recipient and default pictures
    // (compose/tegamiya_view_pictures.cpp).
    enum PictureKind { kPictureJpeg = 0, kPictureBmp = 1 };
    // Remembers the path as the attachment's and shows the picture; true
    // when it could be shown (the path stays the attachment's either way).
    bool AttachPicture(const std::string &path);
    // Shows a ".jpg"/".JPG" or ".bmp"/".BMP" file; any other extension gets
    // a message. True when the preview shows it (or the message was given).
    bool ShowPictureFile(const std::string &path);
    bool LoadJpegPicture(const std::string &path);
    bool LoadBmpPicture(const std::string &path);
    // MyPicture.jpg or .bmp from the user's Tegamiya folder, else from the
    // program's folder; the current picture stays when there is none.
    void ShowDefaultPicture();
    // The picture registered for the recipient, else the default picture.
    void ShowRecipientPicture(const std::string &recipient);
    // Once the attachment is dropped: the recipient's picture; with no
    // recipient the default picture, or an empty frame.
    void ShowPictureWithoutAttachment(const std::string &recipient);
    // Commands 32783, 32784 and button 1059; also after sending.
    void OnDeleteAttachment();
    // Command 32778: the picture registration dialog.
    void OnPictureRegistration();
    int PictureKind() const { return m_nPictureKind; }
    const CPicturePreview &Preview() const { return m_preview; }
    // Tests answer the right-click menu here instead of a real pop-up: the
    // hook gets the menu and returns the chosen command (wxID_NONE: none).
    static std::function<int(wxMenu &)> &PopupMenuHook();

private:
    void BindPictureHandlers();
    void UpdatePreview();
    void InvalidatePicture();
    void PaintPicture();
    void OnRightClick(wxMouseEvent &event);
    struct FreeBlock {
        void operator()(void *block) const { std::free(block); }
    };
    int m_nPictureKind = kPictureJpeg;
    BmpImage m_bmp;                               // the BMP read last; empty when none
    unsigned char m_jpegReserved[16] = {};        // handed to LoadJPEG, unused by it
    JLODE_BITMAPINFOHEADER m_jpegHeader{};        // filled by LoadJPEG
    std::unique_ptr<void, FreeBlock> m_hJpegPixels; // the JPEG pixel block, owned
    int32_t m_nJpegWidth = 0;
    int32_t m_nJpegHeight = 0;
    CPicturePreview m_preview;

private:
    // Carrier set-up at the form's set-up; false when the saved carrier is
    // not in the list (the set-up ends).
    bool SetUpCarriers();
    // The file named on the command line; false when the set-up must end.
    // `tookPicture` tells whether it attached a picture.
    bool LoadStartupFile(bool &tookPicture);
    void SetWidthSpinPos(int pos);
    void EnableWidthControls(bool enable);
    void BindHandlers();
    void BindEditingHandlers();
    void BindToolsHandlers();
    std::vector<std::string> CarrierNames() const;
    // Selects the first carrier whose name begins with `prefix` (ignoring
    // case); false when none does.
    bool SelectCarrierByPrefix(const std::string &prefix);
    void SettingsSaveFailed();
    // Sending and recipients.
    void BindSendingHandlers();
    std::vector<std::string> MailToItems() const;
    void SetMailToItems(const std::vector<std::string> &items);
    // Hands one mail over on a worker thread while the window keeps
    // repainting; shows the progress once a hand-off is slow.
    ULONG HandOverMail(MapiMessage *message, size_t number, size_t total);
    // Drops the attachment after a successful send, as the delete button
    // does.
    void DropAttachmentAfterSend();
    // Steps after a successful send: history, carrier, width, mail client,
    // close. False when a refused write ended them.
    bool StoreAfterSend(const std::string &to);
    bool m_bSending = false;
    class CSendProgressDlg *m_pProgress = nullptr; // shown while a hand-off is slow
    std::chrono::steady_clock::time_point m_sendStart;

    CMainFrame *m_pFrame;
    std::string m_strIniPath; // the settings file, empty when unusable

    // Bound controls.
    CSubjectEdit *m_pSubject = nullptr;   // 1053
    CBodyEdit *m_pBody = nullptr;         // 1034
    wxWindow *m_pPicture = nullptr;       // 1030
    wxButton *m_pSend = nullptr;          // 1001
    wxButton *m_pTo = nullptr;            // 1021
    CUpDownCtrl *m_pWidthSpin = nullptr;  // 1020
    wxChoice *CarrierCombo = nullptr;     // 1023
    wxComboBox *m_pMailTo = nullptr;      // 1035
    wxTextCtrl *m_pWidthEdit = nullptr;   // 1019

    // Exchanged values.
    uint32_t m_nCount = 0;
    uint32_t m_nLimit = 0;
    uint32_t m_nMails = 1;
    int m_bEnableWidth = 0;
    int m_nBodyBytes = 0;
    std::string m_strBody;
    // What the limit, count and mails fields show, and whether the count
    // shows red (-1: not shown yet): the body's count is shown on every key,
    // and showing a number lays its field out again.
    int64_t m_shownNumber[3] = {-1, -1, -1};
    int m_shownCountRed = -1;

    std::string m_strOeStart;       // "Yes" or "No"
    bool m_bCloseOnSend = false;
    wxRect m_rcBody;                // the body in the form's coordinates
    wxRect m_rcPicture;             // 0, 0 and the picture area's size

    std::vector<std::string> m_mailAddressKeys; // "Mail Address" keys as read at set-up
    std::string m_strRecipAddress;               // the current recipient address
    std::string m_strRecipAddressFor;            // the To text it was taken for
    std::string m_strAttachPath;                 // the attached picture, empty when none

    // --- Pictographs: the palette and insertion (compose/tegamiya_view_emoji.cpp).
public:
    // Button 1025 "絵文字": links the pictograph font (every time) and, when
    // that succeeds, creates the palette on first use and shows it.
    void OnButtonEmoji();
    // The palette's message: pictograph `index` (1-252) replaces the
    // selection of the field focused last (g_bSubjectFocus), not undoably,
    // and that field gets the focus with the compose window active. Any
    // other index inserts nothing and focuses the body. Returns 0.
    long OnInsertEmoji(uintptr_t index, intptr_t lParam);
    // The palette, once created (nullptr before).
    CEmojiDlg *EmojiDlg() const { return m_pEmojiDlg.get(); }

private:
    void BindEmojiHandlers();
    // Destroys the palette window if it exists (at the view's end).
    void DestroyEmojiDlg();
    wxWeakRef<CEmojiDlg> m_pEmojiDlg;
};

// The process-wide copy of the settings path, published by the form's
// set-up when the path could be made (empty otherwise).
extern std::string g_strIniPath;
