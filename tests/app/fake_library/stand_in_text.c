#include "stand_in_text.h"

#include <stdlib.h>
#include <string.h>

static int freed;

TvString standInText(const char* bytes, uint32_t byteLength)
{
    unsigned char* block = (unsigned char*)malloc((size_t)byteLength + sizeof(uint32_t) + 2u);
    if (!block)
        return 0;
    memcpy(block, &byteLength, sizeof(uint32_t));
    char* text = (char*)(block + sizeof(uint32_t));
    if (byteLength > 0u)
        memcpy(text, bytes, byteLength);
    text[byteLength] = 0;
    text[byteLength + 1u] = 0;
    return text;
}

__attribute__((visibility("default"))) uint32_t tvStringByteLen(TvString text)
{
    uint32_t byteLength = 0u;
    if (text)
        memcpy(&byteLength, text - sizeof(uint32_t), sizeof(uint32_t));
    return byteLength;
}

__attribute__((visibility("default"))) void tvFreeString(TvString text)
{
    if (!text)
        return;
    __atomic_add_fetch(&freed, 1, __ATOMIC_SEQ_CST);
    free(text - sizeof(uint32_t));
}

int32_t tvFreedTexts(void)
{
    return __atomic_load_n(&freed, __ATOMIC_SEQ_CST);
}
