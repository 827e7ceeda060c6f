#include "keyring.h"

#include <libsecret/secret.h>

#include <cstring>

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

}  // namespace mailsys
