#include "compose/tegamiya_view.h"

bool CTegamiyaView::RegisterEmojiFont()
{
    return true;
}
