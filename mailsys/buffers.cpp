#include "buffers.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace mailsys {

namespace {

std::mutex g_mutex;
std::unordered_set<void *> &Live()
{
    static auto *live = new std::unordered_set<void *>;  // lives as long as the process
    return *live;
}

}  // namespace

MapiRecipDesc *AllocateRecipients(const std::vector<RecipientOut> &recipients)
{
    size_t n = recipients.empty() ? 1 : recipients.size();
    size_t size = n * sizeof(MapiRecipDesc);
    for (const auto &r : recipients)
        size += r.name.size() + 1 + r.address.size() + 1;
    auto *block = static_cast<MapiRecipDesc *>(calloc(1, size));
    if (!block)
        return nullptr;
    char *strings = reinterpret_cast<char *>(block + n);
    for (size_t i = 0; i < recipients.size(); ++i) {
        const auto &r = recipients[i];
        MapiRecipDesc &d = block[i];
        d.ulRecipClass = r.recip_class;
        memcpy(strings, r.name.c_str(), r.name.size() + 1);
        d.lpszName = strings;
        strings += r.name.size() + 1;
        if (!r.address.empty()) {
            memcpy(strings, r.address.c_str(), r.address.size() + 1);
            d.lpszAddress = strings;
            strings += r.address.size() + 1;
        }
    }
    try {
        std::lock_guard<std::mutex> lock(g_mutex);
        Live().insert(block);
    } catch (...) {
        free(block);
        return nullptr;
    }
    return block;
}

bool FreeBlock(void *block)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (Live().erase(block) == 0)
            return false;
    }
    free(block);
    return true;
}

size_t LiveBlocks()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return Live().size();
}

}  // namespace mailsys
