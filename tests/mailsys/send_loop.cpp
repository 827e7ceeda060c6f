// Helper of the crash test: logs on and sends mail with a large attachment
// until it is killed. Usage: mailsys_send_loop ATTACHMENT
#include <simple_mapi.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    LHANDLE h = 0;
    if (MAPILogon(0, nullptr, nullptr, 0, 0, &h) != 0)
        return 3;
    MapiRecipDesc to{};
    to.ulRecipClass = MAPI_TO;
    to.lpszName = const_cast<char *>("loop@example.com");
    MapiFileDesc file{};
    file.nPosition = 0xFFFFFFFF;
    file.lpszPathName = argv[1];
    MapiMessage m{};
    m.lpszSubject = const_cast<char *>("loop");
    m.lpszNoteText = const_cast<char *>("body");
    m.nRecipCount = 1;
    m.lpRecips = &to;
    m.nFileCount = 1;
    m.lpFiles = &file;
    for (;;) {
        if (MAPISendMail(h, 0, &m, 0, 0) != 0)
            return 4;
        fputc('.', stdout);
        fflush(stdout);
    }
}
