// The SMTP password in the desktop keyring (Secret Service, through
// libsecret), stored under the attributes msmtp looks up itself: host (the
// server as written in the account), service "smtp" and user. So msmtp finds
// it without any file holding it.
#pragma once

#include <cstddef>
#include <string>

namespace mailsys {

enum class KeyringResult { Ok, NotFound, Unavailable };

// Unavailable: no Secret Service answers (no session bus, no keyring
// daemon), or it refused.
KeyringResult LookupSmtpPassword(const std::string &host, const std::string &user, std::string *password);
KeyringResult StoreSmtpPassword(const std::string &host, const std::string &user, const std::string &password);
KeyringResult ClearSmtpPassword(const std::string &host, const std::string &user);

// True when a Secret Service answers on the session bus.
bool KeyringAvailable();

// Overwrites a password's bytes before it is let go.
void ForgetSecret(std::string *secret);

// A password kept in memory for a session (no keyring answers): on pages of
// its own that are left out of core dumps and locked in memory when the
// system allows it, overwritten before they are let go. Copies have pages
// of their own; a moved-from text is empty.
class SecretText {
public:
    SecretText() = default;
    SecretText(const std::string &text) { Assign(text.data(), text.size()); }  // NOLINT: implicit on purpose
    SecretText(const char *text) { Assign(text, text ? std::char_traits<char>::length(text) : 0); }  // NOLINT
    SecretText(const SecretText &other) { Assign(other.data(), other.size()); }
    SecretText(SecretText &&other) noexcept { Swap(other); }
    SecretText &operator=(const SecretText &other)
    {
        if (this != &other)
            Assign(other.data(), other.size());
        return *this;
    }
    SecretText &operator=(SecretText &&other) noexcept
    {
        Clear();
        Swap(other);
        return *this;
    }
    ~SecretText() { Clear(); }

    const char *data() const { return m_page ? m_page : ""; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    bool operator==(const std::string &text) const
    {
        return text.size() == m_size && text.compare(0, m_size, data(), m_size) == 0;
    }

    // Replaces the text; the old bytes are overwritten first.
    void Assign(const char *text, size_t size);
    // Overwrites the text and lets its pages go.
    void Clear();

private:
    void Swap(SecretText &other) noexcept;
    char *m_page = nullptr;
    size_t m_mapped = 0, m_size = 0;
    bool m_locked = false;
};

void ForgetSecret(SecretText *secret);

}  // namespace mailsys
