// What reading and searching a large address book costs (prints figures;
// not a test). A book of 48,854 contacts, a 5 MB folded line whose first
// line has no colon, 1,000 lookups by name and the searches of a typed
// word, and CP932 conversion of the book's size.
#include "address_book.h"
#include "cp932/cp932.h"
#include "vcard.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace mailsys;

namespace {

template <typename F>
double Seconds(F f)
{
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main()
{
    const int kContacts = 48854;
    std::string book_text;
    for (int i = 0; i < kContacts; ++i)
        book_text += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact Number " + std::to_string(i) +
                     "\r\nN:Number;Contact;;;\r\nEMAIL;TYPE=INTERNET:contact" + std::to_string(i) +
                     "@example.jp\r\nTEL:090-0000-0000\r\nEND:VCARD\r\n";
    std::string folded = "BEGIN:VCARD\r\nFN:A\r\nX-NO-COLON-YET";
    while (folded.size() < book_text.size())
        folded += "\r\n " + std::string(72, 'x');
    folded += "\r\nEND:VCARD\r\n";

    size_t n = 0;
    double t_book = Seconds([&] { n = ParseVCards(book_text).size(); });
    printf("parse book: %d contacts, %.1f MB: %.3f s (%zu read)\n", kContacts, book_text.size() / 1e6, t_book, n);
    double t_fold = Seconds([&] { ParseVCards(folded); });
    printf("parse one folded line of %.1f MB without a colon on its first line: %.3f s\n", folded.size() / 1e6,
           t_fold);

    AddressBook book;
    for (auto &c : ParseVCards(book_text))
        book.Add(std::move(c));
    size_t keys = NameKeysMade();
    double t_first = Seconds([&] { book.FindByName("Contact Number 48000"); });
    double t_lookups = Seconds([&] {
        for (int i = 0; i < 1000; ++i)
            book.FindByName("contact number " + std::to_string(i * 48));
    });
    printf("first lookup (makes the book's forms): %.3f s; 1,000 lookups by name after it: %.4f s"
           " (%zu normalisations in all)\n",
           t_first, t_lookups, NameKeysMade() - keys);
    const char *typed[] = {"c", "co", "con", "cont", "conta", "contac", "contact", "contact ", "contact n"};
    for (const char *t : typed) {
        size_t found = 0;
        double s = Seconds([&] { found = book.Search(t).size(); });
        printf("search \"%s\": %zu contacts in %.4f s\n", t, found, s);
    }

    std::string sjis = cp932::FromUtf8(std::string(book_text.size() / 3, 'a') + "\xE3\x81\x82");
    std::string kanji;
    for (size_t i = 0; kanji.size() < book_text.size(); ++i)
        kanji += "\x8A\xBF\x8E\x9A";  // two kanji
    double t_ascii = Seconds([&] { cp932::ToUtf8(sjis); });
    double t_kanji = Seconds([&] { cp932::ToUtf8(kanji); });
    printf("CP932 to UTF-8: %.1f MB of ASCII %.3f s; %.1f MB of kanji %.3f s\n", sjis.size() / 1e6, t_ascii,
           kanji.size() / 1e6, t_kanji);
    return 0;
}
