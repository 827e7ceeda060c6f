#include "keyring.h"

#include <libsecret/secret.h>

#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace mailsys {

namespace {

// The attributes without a schema name, as msmtp's documentation stores
// them with secret-tool: msmtp matches on these three and nothing else.
const SecretSchema *SmtpSchema()
{
    static const SecretSchema schema = {
        "org.freedesktop.Secret.Generic",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"host", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &schema;
}

GHashTable *Attributes(const std::string &host, const std::string &user)
{
    GHashTable *a = g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free);
    g_hash_table_insert(a, const_cast<char *>("host"), g_strdup(host.c_str()));
    g_hash_table_insert(a, const_cast<char *>("service"), g_strdup("smtp"));
    g_hash_table_insert(a, const_cast<char *>("user"), g_strdup(user.c_str()));
    return a;
}

KeyringResult Failed(GError *error)
{
    g_error_free(error);
    return KeyringResult::Unavailable;
}

}  // namespace

KeyringResult LookupSmtpPassword(const std::string &host, const std::string &user, std::string *password)
{
    password->clear();
    GHashTable *attributes = Attributes(host, user);
    GError *error = nullptr;
    gchar *found = secret_password_lookupv_nonpageable_sync(SmtpSchema(), attributes, nullptr, &error);
    g_hash_table_unref(attributes);
    if (error)
        return Failed(error);
    if (!found)
        return KeyringResult::NotFound;
    password->assign(found);
    secret_password_free(found);
    return KeyringResult::Ok;
}

KeyringResult StoreSmtpPassword(const std::string &host, const std::string &user, const std::string &password)
{
    GHashTable *attributes = Attributes(host, user);
    std::string label = "msmtp: " + user + "@" + host + " (Tegamiya)";
    GError *error = nullptr;
    gboolean ok = secret_password_storev_sync(SmtpSchema(), attributes, SECRET_COLLECTION_DEFAULT, label.c_str(),
                                              password.c_str(), nullptr, &error);
    g_hash_table_unref(attributes);
    if (error)
        return Failed(error);
    return ok ? KeyringResult::Ok : KeyringResult::Unavailable;
}

KeyringResult ClearSmtpPassword(const std::string &host, const std::string &user)
{
    GHashTable *attributes = Attributes(host, user);
    GError *error = nullptr;
    gboolean removed = secret_password_clearv_sync(SmtpSchema(), attributes, nullptr, &error);
    g_hash_table_unref(attributes);
    if (error)
        return Failed(error);
    return removed ? KeyringResult::Ok : KeyringResult::NotFound;
}

bool KeyringAvailable()
{
    // A search answered (found or not) shows a service that works.
    std::string none;
    return LookupSmtpPassword("keyring-probe.invalid", "", &none) != KeyringResult::Unavailable;
}

void ForgetSecret(std::string *secret)
{
    if (!secret->empty())
        explicit_bzero(secret->data(), secret->size());
    secret->clear();
}

void SecretText::Assign(const char *text, size_t size)
{
    if (m_page && text >= m_page && text < m_page + m_mapped) {
        // Its own bytes (a part of itself): through a copy of its own kind.
        SecretText copy(std::string(text, size));
        Clear();
        Swap(copy);
        return;
    }
    if (m_page)
        explicit_bzero(m_page, m_size);
    m_size = 0;
    if (size == 0)
        return;
    if (size + 1 > m_mapped) {
        Clear();
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t length = (size + 1 + page - 1) / page * page;
        void *p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        // Kept out of core dumps; locked so that it is never swapped out
        // (a limit on locked memory may refuse that: it stays unswappable
        // where allowed, out of dumps always).
        madvise(p, length, MADV_DONTDUMP);
        m_locked = mlock(p, length) == 0;
        m_page = static_cast<char *>(p);
        m_mapped = length;
    }
    memcpy(m_page, text, size);
    m_page[size] = '\0';
    m_size = size;
}

void SecretText::Clear()
{
    if (!m_page)
        return;
    explicit_bzero(m_page, m_mapped);
    if (m_locked)
        munlock(m_page, m_mapped);
    munmap(m_page, m_mapped);
    m_page = nullptr;
    m_mapped = m_size = 0;
    m_locked = false;
}

void SecretText::Swap(SecretText &other) noexcept
{
    std::swap(m_page, other.m_page);
    std::swap(m_mapped, other.m_mapped);
    std::swap(m_size, other.m_size);
    std::swap(m_locked, other.m_locked);
}

void ForgetSecret(SecretText *secret) { secret->Clear(); }

}  // namespace mailsys
