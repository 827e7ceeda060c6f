// The address book the tests use: a vCard 3.0/4.0 file with a contact of
// two addresses, a Japanese name, two contacts of the same name, groups
// and a contact without an address.
#pragma once

inline const char kTestBook[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Hanako Suzuki\r\nN:Suzuki;Hanako;;;\r\n"
    "EMAIL;TYPE=INTERNET:hanako.home@example.com\r\n"
    "EMAIL;TYPE=INTERNET,PREF:hanako@docomo.ne.jp\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:\xE9\x88\xB4\xE6\x9C\xA8 \xE4\xB8\x80\xE9\x83\x8E\r\n"  // 鈴木 一郎
    "UID:urn:uuid:1111\r\nEMAIL:ichiro@ezweb.ne.jp\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Taro\r\nEMAIL:taro1@example.com\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:taro\r\nEMAIL:taro2@example.com\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Family\r\n"
    "MEMBER:urn:uuid:1111\r\nMEMBER:mailto:mama@example.jp\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Empty Group\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Mail\r\nTEL:090-0000-0000\r\nEND:VCARD\r\n";
