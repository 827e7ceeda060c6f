// The compose form on real windows: set-up, carriers, counting, colours,
// display width, options and the command-line file, with the fake mail
// library and every message box scripted.
#include "form_fixture.h"

using namespace formtest;

namespace {

TEST_F(Form, FreshSettingsWriteTheDefaultsAndShowThem)
{
    Start();
    EXPECT_TRUE(ui->boxes.empty());
    std::vector<std::string> names;
    for (unsigned i = 0; i < Carriers()->GetCount(); ++i)
        names.push_back(Carriers()->GetString(i).utf8_string());
    EXPECT_EQ(names, (std::vector<std::string>{"DoCoMo i-mode", "J-phone", "vodafon", "TU-KA", "au",
                                               "H\"", "ASTEL", "PC"}));
    EXPECT_EQ(Carrier(), "DoCoMo i-mode");
    EXPECT_EQ(Field(1013), "5000");
    EXPECT_EQ(Field(1014), "0");
    EXPECT_EQ(Field(1015), "1");
    EXPECT_EQ(Field(1019), "8");
    EXPECT_TRUE(Ctl<wxCheckBox>(1018)->GetValue());
    EXPECT_TRUE(Ctl<wxTextCtrl>(1019)->IsEnabled());
    EXPECT_FALSE(Ctl<wxCheckBox>(1054)->GetValue());
    EXPECT_TRUE(Ctl<wxRadioButton>(1055)->GetValue());
    EXPECT_FALSE(Ctl<wxRadioButton>(1056)->IsEnabled());
    EXPECT_EQ(Ini("Default", "Enable Width"), "ON");
    EXPECT_EQ(Ini("Default", "OE Start"), "No");
    EXPECT_EQ(Ini("Default", "Display Width"), "8");
    EXPECT_EQ(Ini("Mail Address", "jp-*.ne.jp"), "J-phone");
    EXPECT_EQ(Ini("Keitai Vender", "H\""), "2420");
    EXPECT_FALSE(View()->CloseOnSend());
    EXPECT_EQ(View()->OeStartWord(), "No");
    // The settings file keeps the keys in the order they were written.
    std::string file = testenv::ReadFile(IniPath());
    EXPECT_LT(file.find("docomo.ne.jp=DoCoMo i-mode\r\nezweb.ne.jp=au\r\njp-*.ne.jp=J-phone\r\n"
                        "*.vodafone.ne.jp=vodafon\r\nsky.tu-ka.ne.jp=TU-KA\r\npdx.ne.jp=H\"\r\n"),
              file.size());

    // The body shows exactly eight full-width characters a line.
    CBodyEdit *body = View()->BodyField();
    body->SetTextBytes(Kanji(12));
    testenv::Pump();
    wxPoint first = body->PositionToCoords(0), eighth = body->PositionToCoords(7),
            ninth = body->PositionToCoords(8);
    EXPECT_EQ(eighth.y, first.y);
    EXPECT_GT(ninth.y, first.y);
    EXPECT_EQ(ninth.x, first.x);
}

TEST_F(Form, LayoutFollowsTheTemplateInDialogUnits)
{
    Start();
    CTegamiyaView *v = View();
    // The form's font gives dialog units of 6 x 13 pixels.
    EXPECT_EQ(v->GetFormSize(), wxSize(603, 234));
    EXPECT_EQ(app.MainFrame()->GetClientSize(), v->GetFormSize());
    auto du = [&](int x, int y) { return v->ConvertDialogToPixels(wxPoint(x, y)); };
    EXPECT_EQ(v->FindWindow(1034)->GetPosition(), du(183, 9));
    EXPECT_EQ(v->FindWindow(1011)->GetRect(), wxRect(du(49, 24), v->ConvertDialogToPixels(wxSize(126, 12))));
    EXPECT_EQ(v->FindWindow(1001)->GetPosition(), du(351, 99));
    EXPECT_EQ(v->FindWindow(1020)->GetPosition(), du(277, 103));
    EXPECT_EQ(v->PictureRect(), wxRect(0, 0, 141, 133));
    // Tab order: the controls in the template's order.
    std::vector<int> order;
    for (wxWindow *w : v->GetChildren())
        if (w->GetId() > 1000 && w->GetId() < 2000)
            order.push_back(w->GetId());
    EXPECT_EQ(order, (std::vector<int>{1035, 1011, 1016, 1053, 1034, 1001, 1023, 1021, 1022, 1024, 1027, 1025,
                                       1026, 1031, 1018, 1019, 1020, 1054, 1013, 1014, 1015, 1030, 1055, 1056,
                                       1059}));
    // Address-book buttons, count fields and the picture area are no tab stops.
    for (int id : {1021, 1022, 1024, 1013, 1014, 1015, 1030})
        EXPECT_FALSE(v->FindWindow(id)->AcceptsFocusFromKeyboard()) << id;
    for (int id : {1035, 1053, 1034, 1001, 1023, 1027, 1019, 1020})
        EXPECT_TRUE(v->FindWindow(id)->AcceptsFocusFromKeyboard()) << id;
    // Our small pictures are in place.
    int bitmaps = 0;
    for (wxWindow *w : v->GetChildren())
        if (auto *b = dynamic_cast<wxStaticBitmap *>(w)) {
            EXPECT_TRUE(b->GetBitmap().IsOk()) << w->GetName();
            ++bitmaps;
        }
    EXPECT_EQ(bitmaps, 6);
}

TEST_F(Form, SavedCarrierAndUnusableLimits)
{
    WriteIni("[Default]\nVender=PC\n");
    Start();
    EXPECT_EQ(Carrier(), "PC");
    EXPECT_EQ(Field(1013), "10000");

    // A limit below 2, or one without digits, counts as missing: 250 at
    // set-up, refused when chosen.
    WriteIni("[Keitai Vender]\nOne=1\nWords=many\nTen=10\n[Default]\nVender=One\n");
    Restart();
    EXPECT_EQ(Carrier(), "One");
    EXPECT_EQ(View()->Limit(), 250u);
    ChooseCarrier("Ten");
    EXPECT_EQ(View()->Limit(), 10u);
    EXPECT_EQ(Ini("Default", "Vender"), "Ten");
    ChooseCarrier("Words");
    ChooseCarrier("One");
    ASSERT_EQ(ui->boxes.size(), 2u);
    ExpectBox(0, BoxKind::Form, Sjis("送信可能文字数を取得できません。"), kFormBoxStyle);
    ExpectBox(1, BoxKind::Form, Sjis("送信可能文字数を取得できません。"), kFormBoxStyle);
    EXPECT_EQ(ui->boxes[0].owner, static_cast<void *>(View()));
    EXPECT_EQ(View()->Limit(), 10u);
    EXPECT_EQ(Field(1013), "10");
    EXPECT_EQ(Ini("Default", "Vender"), "Ten");
}

TEST_F(Form, OneCarrierWithoutSavedCarrierEndsTheSetUp)
{
    WriteIni("[Keitai Vender]\nX=100\n");
    Start();
    ASSERT_EQ(Carriers()->GetCount(), 1u);
    EXPECT_EQ(Carriers()->GetString(0), "X");
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Form, Sjis("保存されている設定をを取得できません。"), kFormBoxStyle);
    // The steps after the carriers did not run.
    EXPECT_EQ(Ini("Default", "Enable Width"), "<none>");
    EXPECT_EQ(Ini("Default", "OE Start"), "<none>");
}

TEST_F(Form, WithoutAUsableSettingsFile)
{
    testenv::WriteFile(home.Documents() / "Tegamiya", "not a folder");
    Start();
    ASSERT_GE(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application, "Cannot make .ini file path.", MB_OK | MB_ICONWARNING);
    ASSERT_EQ(Carriers()->GetCount(), 1u);
    EXPECT_EQ(Carrier(), "DoCoMo i-mode");
    EXPECT_EQ(Field(1013), "250");
    ui->boxes.clear();
    View()->SelectCarrierByAddress("someone@docomo.ne.jp");
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Form, Sjis("携帯キャリアを設定できません。"), kFormBoxStyle);
}

TEST_F(Form, CarrierFollowsTheRecipientsDomain)
{
    Start();
    const std::pair<const char *, const char *> cases[] = {
        {"taro@jp-t.ne.jp", "J-phone"},      {"taro@JP-K.NE.JP", "J-phone"},
        {"hana@DoCoMo.ne.jp", "DoCoMo i-mode"}, {"hana@ezweb.ne.jp", "au"},
        {"x@t.vodafone.ne.jp", "vodafon"},   {"x@sky.tu-ka.ne.jp", "TU-KA"},
        {"x@pdx.ne.jp", "H\""},              {"x@vodafone.ne.jp", "PC"},
        {"x@example.org", "PC"},             {"x@mail.docomo.ne.jp", "PC"},
    };
    for (auto [address, carrier] : cases) {
        View()->SelectCarrierByAddress(address);
        EXPECT_EQ(Carrier(), carrier) << address;
        EXPECT_EQ(Ini("Default", "Vender"), carrier) << address;
        EXPECT_EQ(View()->RecipientAddress(), address);
    }
    View()->SelectCarrierByAddress("taro@jp-q.ne.jp");
    EXPECT_EQ(Field(1013), "3000");
    EXPECT_TRUE(ui->boxes.empty());

    // Choosing a recipient from the To list: carrier, width and the
    // recipient's picture button follow.
    ProfileFile(IniPath().string()).WriteString("Display Width", "hana@ezweb.ne.jp", "10");
    wxComboBox *to = Ctl<wxComboBox>(1035);
    to->Append("hana@ezweb.ne.jp");
    to->SetSelection(0);
    wxCommandEvent ev(wxEVT_COMBOBOX, 1035);
    ev.SetEventObject(to);
    to->ProcessWindowEvent(ev);
    EXPECT_EQ(Carrier(), "au");
    EXPECT_EQ(Field(1019), "10");
    EXPECT_TRUE(Ctl<wxRadioButton>(1055)->GetValue());
}

TEST_F(Form, NamesResolveThroughTheAddressBook)
{
    mapi.resolve["Taro"] = {SUCCESS_SUCCESS, {MAPI_TO, "Taro", "taro@docomo.ne.jp"}};
    mapi.resolve["Friends"] = {SUCCESS_SUCCESS, {MAPI_TO, "Friends", ""}};
    Start();
    View()->SelectCarrierByAddress("PC-less name");
    EXPECT_EQ(Carrier(), "PC");
    View()->SelectCarrierByAddress("Taro");
    EXPECT_EQ(Carrier(), "DoCoMo i-mode");
    EXPECT_EQ(View()->RecipientAddress(), "taro@docomo.ne.jp");
    EXPECT_TRUE(ui->boxes.empty());
    // A group resolves without an address: told, and the carrier stays.
    View()->SelectCarrierByAddress("Friends");
    EXPECT_EQ(Carrier(), "DoCoMo i-mode");
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application,
              Sjis("MAPIResolveName API のバグでグループアドレスは解決できません。m(__)m  "),
              MB_OK | MB_ICONWARNING);
    EXPECT_EQ(mapi.resolvedNames, (std::vector<std::string>{"PC-less name", "Taro", "Friends"}));
    EXPECT_TRUE(mapi.outstanding.empty());
    EXPECT_EQ(mapi.badFrees, 0);

    // Names whose trail bytes are "@" (法 院 ァ) are names: resolved, and
    // their carrier taken from their address, not "PC"; a name the address
    // book put between quotes resolves without them.
    struct Row {
        std::string field, name, address, carrier;
    };
    const Row rows[] = {
        {Sjis("山田 法子"), Sjis("山田 法子"), "noriko@docomo.ne.jp", "DoCoMo i-mode"},
        {Sjis("院長"), Sjis("院長"), "incho@ezweb.ne.jp", "au"},
        {Sjis("ファン"), Sjis("ファン"), "fan@jp-t.ne.jp", "J-phone"},
        {"\"Yamada, Taro\"", "Yamada, Taro", "taro@pdx.ne.jp", "H\""},
    };
    for (const Row &r : rows) {
        mapi.resolve[r.name] = {SUCCESS_SUCCESS, {MAPI_TO, r.name, r.address}};
        View()->SelectCarrierByAddress(r.field);
        EXPECT_EQ(mapi.resolvedNames.back(), r.name);
        EXPECT_EQ(Carrier(), r.carrier) << r.address;
        EXPECT_EQ(View()->RecipientAddress(), r.address);
    }
    EXPECT_EQ(ui->boxes.size(), 1u);
}

TEST_F(Form, DisplayWidthControls)
{
    WriteIni("[Display Width]\nzero@x.jp=0\nwide@x.jp=20\n[Default]\nDisplay Width=30\n");
    Start();
    CUpDownCtrl *spin = View()->WidthSpin();
    EXPECT_EQ(spin->GetMin(), 6);
    EXPECT_EQ(spin->GetMax(), 24);
    EXPECT_EQ(Field(1019), "24"); // the stored 30, held within the range
    int a = 0;
    {
        wxClientDC dc(View());
        dc.SetFont(View()->GetFont());
        a = dc.GetTextExtent("1234567890ABCDEFGHIJ").x / 20;
    }
    EXPECT_EQ(a, 6);
    int s = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, View());
    auto bodyWidth = [&] { return View()->BodyField()->GetSize().x; };
    EXPECT_EQ(bodyWidth(), 2 * 24 * a + s + 8);

    // Remembered widths per recipient; none gives 12, 0 the default width.
    View()->ApplyRecipientWidth("wide@x.jp");
    EXPECT_EQ(Field(1019), "20");
    View()->ApplyRecipientWidth("new@x.jp");
    EXPECT_EQ(Field(1019), "12");
    EXPECT_EQ(Ini("Default", "Display Width"), "12");
    View()->ApplyRecipientWidth("zero@x.jp");
    EXPECT_EQ(Field(1019), "12");
    EXPECT_EQ(bodyWidth(), 2 * 12 * a + s + 8);

    // The spin stops at its ends and stores each step.
    for (int i = 0; i < 20; ++i)
        spin->Step(-1);
    EXPECT_EQ(Field(1019), "6");
    EXPECT_EQ(Ini("Default", "Display Width"), "6");
    EXPECT_EQ(bodyWidth(), 2 * 6 * a + s + 8);
    for (int i = 0; i < 30; ++i)
        spin->Step(1);
    EXPECT_EQ(Field(1019), "24");

    // Unchecking widens the body to 24 and greys the width out; the stored
    // width stays.
    spin->Step(-1);
    Click(Ctl<wxCheckBox>(1018));
    EXPECT_EQ(bodyWidth(), 2 * 24 * a + s + 8);
    EXPECT_FALSE(Ctl<wxTextCtrl>(1019)->IsEnabled());
    EXPECT_FALSE(spin->IsEnabled());
    EXPECT_EQ(Ini("Default", "Enable Width"), "OFF");
    EXPECT_EQ(Ini("Default", "Display Width"), "23");
    Click(Ctl<wxCheckBox>(1018));
    EXPECT_EQ(bodyWidth(), 2 * 23 * a + s + 8);
    EXPECT_EQ(Ini("Default", "Enable Width"), "ON");
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Form, CountsMailsAndRedAtTheLimit)
{
    WriteIni("[Keitai Vender]\nShort=250\nPC=10000\n[Default]\nVender=Short\n");
    Start();
    CBodyEdit *body = View()->BodyField();
    struct Case { size_t bytes; const char *count; const char *mails; bool red; };
    for (Case c : {Case{0, "0", "1", false}, Case{498, "249", "1", false}, Case{500, "250", "2", false},
                   Case{501, "250", "2", false}, Case{502, "251", "2", true}, Case{498, "249", "1", false}}) {
        body->SetTextBytes(std::string(c.bytes, 'a'));
        EXPECT_EQ(Field(1014), c.count) << c.bytes;
        EXPECT_EQ(Field(1015), c.mails) << c.bytes;
        EXPECT_EQ(CountIsRed(), c.red) << c.bytes;
    }
    // Choosing a carrier with a higher limit recounts: no longer red.
    ChooseCarrier("PC");
    EXPECT_FALSE(CountIsRed());
    EXPECT_EQ(Field(1015), "1");
    // Half-width letters, kanji and line breaks.
    body->SetTextBytes("abcdefghij");
    EXPECT_EQ(Field(1014), "5");
    body->SetTextBytes(Kanji(10));
    EXPECT_EQ(Field(1014), "10");
    body->SetTextBytes("\r\n");
    EXPECT_EQ(View()->Body(), "\r\n");
    EXPECT_EQ(Field(1014), "1");
    // The subject is never counted.
    View()->SubjectField()->SetTextBytes(Kanji(40));
    EXPECT_EQ(Field(1014), "1");
}

TEST_F(Form, TypingUpdatesTheNumbersAtOnce)
{
    Start();
    CBodyEdit *body = View()->BodyField();
    wxUIActionSimulator sim;
    sim.MouseMove(body->GetScreenPosition() + wxPoint(10, 10));
    sim.MouseClick();
    body->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return body->HasFocus(); }));
    sim.Text("abcd");
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return View()->Body() == "abcd\r\n"; })) << View()->Body();
    EXPECT_EQ(Field(1014), "3");
    EXPECT_FALSE(g_bSubjectFocus);
    // Typing over a selection is one step to undo.
    body->SetSel(1, 3);
    sim.Text("x");
    ASSERT_TRUE(WaitFor([&] { return View()->Body() == "axd\r\n"; })) << View()->Body();
    ASSERT_TRUE(body->CanUndoEdit());
    body->UndoEdit();
    EXPECT_EQ(View()->Body(), "abcd\r\n");
    // Enter adds no line to the subject.
    CSubjectEdit *subject = View()->SubjectField();
    subject->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return subject->HasFocus(); }));
    sim.Text("re");
    sim.Char(WXK_RETURN);
    sim.Text("!");
    ASSERT_TRUE(WaitFor([&] { return subject->GetTextBytes().size() >= 3; }));
    EXPECT_EQ(subject->GetTextBytes(), "re!");
    EXPECT_TRUE(g_bSubjectFocus);
    // Pasted into the subject, text keeps only its first line.
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8("：件\n二行目")));
    wxTheClipboard->Close();
    subject->Paste();
    testenv::Pump();
    EXPECT_EQ(subject->GetTextBytes(), Sjis("re!：件"));
}

TEST_F(Form, PictographsAreColouredByGroup)
{
    Start();
    CBodyEdit *body = View()->BodyField();
    auto colourAt = [&](CRichEdit *f, long pos) { return f->GetCharColour(pos); };
    body->ReplaceSel("a\xF8\x9F", false);
    EXPECT_EQ(colourAt(body, 1), wxColour(255, 0, 0));
    EXPECT_EQ(colourAt(body, 0), wxColour()); // the letter before it keeps its colour
    body->ReplaceSel("x", false);
    EXPECT_EQ(colourAt(body, 3), wxColour(0, 0, 0)); // typed next: black
    body->ReplaceSel("\xF9\xF5", false);
    EXPECT_EQ(colourAt(body, 4), wxColour(0, 50, 153));
    body->ReplaceSel("\xF8\xF1", false); // outside the table
    EXPECT_EQ(colourAt(body, 6), wxColour(0, 0, 0));
    EXPECT_EQ(body->GetTextBytes(), "a\xF8\x9Fx\xF9\xF5\xF8\xF1");
    EXPECT_EQ(Field(1014), "4");
    // ASCII after ASCII changes no format.
    body->ReplaceSel("b", false);
    body->SetCharColour(9, 9, wxColour(1, 2, 3));
    body->ReplaceSel("c", false);
    EXPECT_EQ(body->GetInsertColour(), wxColour(1, 2, 3));
    // Pasting several pictographs colours only the one before the caret.
    body->ReplaceSel("\xF8\xA0\xF8\xA0", true);
    EXPECT_EQ(colourAt(body, 13), wxColour(0, 0, 255));
    EXPECT_NE(colourAt(body, 11), wxColour(0, 0, 255));
    // The subject is coloured too.
    CSubjectEdit *subject = View()->SubjectField();
    subject->ReplaceSel("\xF9\xB9", false);
    EXPECT_EQ(colourAt(subject, 0), wxColour(153, 0, 102));
}

TEST_F(Form, RichEditPositionsSelectionAndUndo)
{
    Start();
    CBodyEdit *body = View()->BodyField();
    body->SetTextBytes("a\x8A\xBF\r\nb");
    EXPECT_EQ(body->GetTextLengthBytes(), 6);
    EXPECT_EQ(body->ToPosition(5), 3);
    EXPECT_EQ(body->ToPosition(2), 1); // inside the kanji: its start
    body->SetSel(1, 5);
    long s = 0, e = 0;
    body->GetSel(s, e);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(e, 5);
    EXPECT_FALSE(body->CanUndoEdit());
    body->ReplaceSel("\x82\xA0", true);
    EXPECT_EQ(body->GetTextBytes(), "a\x82\xA0" "b");
    EXPECT_TRUE(body->CanUndoEdit());
    body->UndoEdit();
    EXPECT_EQ(body->GetTextBytes(), "a\x8A\xBF\r\nb");
    EXPECT_EQ(View()->Body(), "a\x8A\xBF\r\nb"); // the undo recounted
    body->UndoEdit();                            // undoing the undo redoes
    EXPECT_EQ(body->GetTextBytes(), "a\x82\xA0" "b");
    // A replacement without undo cannot be taken back.
    body->ReplaceSel("\xF8\x9F", false);
    EXPECT_FALSE(body->CanUndoEdit());
    // Undo brings back the colours with the text.
    body->SetTextBytes("");
    body->ReplaceSel("\xF8\x9F", false);
    body->ReplaceSel("z", true);
    body->UndoEdit();
    EXPECT_EQ(body->GetTextBytes(), "\xF8\x9F");
    EXPECT_EQ(body->GetCharColour(0), wxColour(255, 0, 0));
    // Text put in without a change notification, of the same length: the
    // byte view follows it, the colours and undo are gone.
    body->ChangeValue(wxString::FromUTF8("い"));
    EXPECT_EQ(body->GetTextBytes(), "\x82\xA2");
    body->SetSel(0, -1);
    body->GetSel(s, e);
    EXPECT_EQ(e, 2);
    EXPECT_EQ(body->GetCharColour(0), wxColour());
    EXPECT_FALSE(body->CanUndoEdit());
}

TEST_F(Form, CommandLineTextFiles)
{
    fs::path lf = home.Path() / "note.txt";
    testenv::WriteFile(lf, "line one\nline two\n");
    app.SetCommandLineFile("\"" + lf.string() + "\"");
    Start();
    EXPECT_EQ(View()->Body(), "line one\r\nline two\r\n");
    EXPECT_EQ(Field(1014), "10");
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(Ini("Default", "Enable Width"), "ON");

    // UTF-8 text becomes CP932; other text is taken as CP932 bytes.
    testenv::WriteFile(lf, "\xE6\xBC\xA2\xE5\xAD\x97\n");
    Restart();
    EXPECT_EQ(View()->Body(), "\x8A\xBF\x8E\x9A\r\n");
    testenv::WriteFile(lf, "\x8A\xBF\x8E\x9A");
    Restart();
    EXPECT_EQ(View()->Body(), "\x8A\xBF\x8E\x9A");

    // Failures end the set-up.
    app.SetCommandLineFile((home.Path() / "missing.txt").string());
    fs::remove(IniPath());
    Restart();
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application, Sjis("ドロップしたファイルのオープンエラー。"), MB_OK | MB_ICONWARNING);
    EXPECT_EQ(Ini("Default", "Enable Width"), "<none>");
    fs::create_directory(home.Path() / "folder.txt");
    app.SetCommandLineFile((home.Path() / "folder.txt").string());
    Restart();
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application, Sjis("ドロップしたファイルのリードエラー。"), MB_OK | MB_ICONWARNING);
}

TEST_F(Form, CommandLinePicturesAndOtherFiles)
{
    // The extension is compared exactly: ".Jpg" is refused.
    app.SetCommandLineFile((home.Path() / "photo.Jpg").string());
    Start();
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application,
              Sjis("テキスト(.txt)、JPEG(.jpg, .jpeg) ファイル以外のファイルはドロップできません。"),
              MB_OK | MB_ICONWARNING);
    EXPECT_EQ(ui->boxes[0].text.substr(0, 13), "\x83\x65\x83\x4C\x83\x58\x83\x67(.txt");

    // A ".jpeg" file becomes the attachment, takes its radio button and
    // shows: the preview goes by the same extension rule.
    std::string photo = (home.Path() / "photo.jpeg").string();
    fs::copy_file(JPEG_PATH, photo);
    app.SetCommandLineFile(photo);
    Restart();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(View()->AttachmentPath(), photo);
    EXPECT_TRUE(Ctl<wxRadioButton>(1056)->IsEnabled());
    EXPECT_TRUE(Ctl<wxRadioButton>(1056)->GetValue());
    EXPECT_FALSE(Ctl<wxRadioButton>(1055)->GetValue());
    EXPECT_EQ(Ini("Default", "OE Start"), "No");
}

TEST_F(Form, OptionsAndTheirSaveFailures)
{
    Start();
    EXPECT_FALSE(MenuChecked(ID_CLOSE_ON_SEND));
    Command(ID_CLOSE_ON_SEND);
    EXPECT_EQ(Ini("Default", "CloseOnSend"), "Yes");
    EXPECT_TRUE(MenuChecked(ID_CLOSE_ON_SEND));
    EXPECT_TRUE(View()->CloseOnSend());
    Command(ID_CLOSE_ON_SEND);
    EXPECT_EQ(Ini("Default", "CloseOnSend"), "No");
    EXPECT_FALSE(MenuChecked(ID_CLOSE_ON_SEND));

    Click(Ctl<wxCheckBox>(1054));
    EXPECT_EQ(Ini("Default", "OE Start"), "Yes");
    EXPECT_EQ(View()->OeStartWord(), "Yes");
    Restart();
    EXPECT_TRUE(Ctl<wxCheckBox>(1054)->GetValue());
    Click(Ctl<wxCheckBox>(1054));
    EXPECT_EQ(Ini("Default", "OE Start"), "No");
    EXPECT_TRUE(ui->boxes.empty());

    // A settings file that cannot be written: told, and the new setting
    // stays in force.
    fs::remove(IniPath());
    fs::create_directory(IniPath());
    Command(ID_CLOSE_ON_SEND);
    EXPECT_TRUE(View()->CloseOnSend());
    View()->WidthSpin()->Step(1);
    ASSERT_EQ(ui->boxes.size(), 2u);
    ExpectBox(0, BoxKind::Form, Sjis("設定値を保存できません。"), kFormBoxStyle);
    ExpectBox(1, BoxKind::Form, Sjis("設定値を保存できません。"), kFormBoxStyle);
    EXPECT_EQ(ui->boxes[0].text, "\x90\xDD\x92\xE8\x92\x6C\x82\xF0\x95\xDB\x91\xB6\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42");
}

} // namespace
