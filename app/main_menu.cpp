#include "app/main_menu.h"

#include "app/main_frame.h"

#include <wx/menu.h>

namespace {

struct Item {
    int id;           // 0: separator
    const char *text; // UTF-8
    bool check = false;
};

struct Menu {
    const char *title;
    std::initializer_list<Item> items;
};

// The texts keep their exact characters: the half-width katakana of the
// first and last titles, "(L&)" in select-all and the full-width "（" in the
// attachment item.
const Menu kMenus[] = {
    {"ﾌｧｲﾙ(&F)",
     {{ID_SEND_MAIL, "メールの送信(&S)"}, {0, ""}, {ID_APP_EXIT, "Tegamiyaの終了(&X)"}}},
    {"編集(&E)",
     {{ID_EDIT_SELECT_ALL, "すべて選択(L&)\tCtrl+A"},
      {0, ""},
      {ID_EDIT_CUT, "切り取り(&T)\tCtrl+X"},
      {ID_EDIT_COPY, "コピー(&C)\tCtrl+C"},
      {ID_EDIT_PASTE, "貼り付け(&P)\tCtrl+V"},
      {0, ""},
      {ID_EDIT_STRIP_BLANKS, "空白, タブ, 改行を削除(&D)\tCtrl+D"},
      {0, ""},
      {ID_EDIT_UNDO, "元に戻す(&U)\tCtrl+Z"},
      {0, ""},
      {ID_DELETE_ATTACHMENT, "添付ファイルを削除（&R)\tCtrl+R"}}},
    {"設定(&S)",
     {{ID_CLOSE_ON_SEND, "送信後にTegamiyaを終了する(&C)", true},
      {0, ""},
      {ID_DELETE_HISTORY, "宛先履歴の削除(&D)..."},
      {0, ""},
      {ID_SETUP_PICTURES, "画像ファイルの登録/変更(&P)..."},
      {ID_SETUP_TOOLS, "外部ツールの登録/変更(&T)..."}}},
    {"ﾍﾙﾌﾟ(&H)",
     {{ID_HELP_CONTENTS, "目次(&H)..."},
      {0, ""},
      {ID_APP_ABOUT, "バージョン(&A)..."},
      {0, ""},
      {ID_WEB_SITE, "Zelko Webサイト(&W)"}}},
};

} // namespace

wxMenuBar *CreateMainMenu()
{
    auto *bar = new wxMenuBar;
    for (const Menu &m : kMenus) {
        auto *menu = new wxMenu;
        for (const Item &it : m.items) {
            if (it.id == 0)
                menu->AppendSeparator();
            else
                menu->Append(it.id, wxString::FromUTF8(it.text), wxString(),
                             it.check ? wxITEM_CHECK : wxITEM_NORMAL);
        }
        bar->Append(menu, wxString::FromUTF8(m.title));
    }
    return bar;
}

wxMenu *CreateEditPopupMenu()
{
    // The edit menu's items from select-all to undo, in the same order.
    auto *menu = new wxMenu;
    for (const Item &it : kMenus[1].items) {
        if (it.id == 0)
            menu->AppendSeparator();
        else
            menu->Append(it.id, wxString::FromUTF8(it.text));
        if (it.id == ID_EDIT_UNDO)
            break;
    }
    return menu;
}
