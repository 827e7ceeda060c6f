// Memory blocks handed to callers, which give them back with MAPIFreeBuffer.
// Every block is registered, so a pointer this library did not hand out
// (or has already taken back) is refused instead of freed.
#pragma once

#include <simple_mapi.h>

#include <string>
#include <vector>

namespace mailsys {

struct RecipientOut {
    ULONG recip_class;
    std::string name;     // CP932
    std::string address;  // CP932; empty: no address (NULL in the record)
};

// One block holding the records followed by their strings. Returns null
// when memory runs out.
MapiRecipDesc *AllocateRecipients(const std::vector<RecipientOut> &recipients);

// Frees a registered block. False for a pointer that is not one.
bool FreeBlock(void *block);

// Number of blocks handed out and not yet given back.
size_t LiveBlocks();

}  // namespace mailsys
