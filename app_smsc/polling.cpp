// Polling the driver for remote codes and turning them into keys.
#include <string.h>

#include "tray.h"

#include <winioctl.h>  // after windows.h, whose types it uses

#include <pexactrl.h>

namespace {

// The remote's button codes repeat one byte pattern; these bytes carry them whole.
const unsigned char kPageUpByte = 0x33;
const unsigned char kPageDownByte = 0xCC;

// Nibble patterns of the four-key mapping. A 0x9 nibble votes Left in the low half of a
// byte and Right in the high half; 0x6 the other way round.
const unsigned char kNibbleUp = 0x3;
const unsigned char kNibbleDown = 0xC;
const unsigned char kNibbleLowLeft = 0x9;
const unsigned char kNibbleLowRight = 0x6;

const int kHistoryCodes = 4;

enum FourKey { kUp, kDown, kLeft, kRight, kFourKeys };
const BYTE kFourKeyVk[kFourKeys] = {VK_PRIOR, VK_NEXT, VK_LEFT, VK_RIGHT};

// The key a nibble votes for, or kFourKeys for none.
int NibbleVote(unsigned char nibble, bool high)
{
    if (nibble == kNibbleUp)
        return kUp;
    if (nibble == kNibbleDown)
        return kDown;
    if (nibble == kNibbleLowLeft)
        return high ? kRight : kLeft;
    if (nibble == kNibbleLowRight)
        return high ? kLeft : kRight;
    return kFourKeys;
}

// Bytes of the code in which not all bits of the mask are set.
int BytesMissingBits(const unsigned char code[IR_CODE_LENGTH], unsigned char mask)
{
    int count = 0;
    for (int i = 0; i < IR_CODE_LENGTH; ++i)
        if ((code[i] & mask) != mask)
            ++count;
    return count;
}

}  // namespace

void SendKey(BYTE vk)
{
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

void PollCode()
{
    if (!g_tray.pollingOn || !g_tray.remoteOn || g_tray.powerTransition)
        return;
    unsigned char code[IR_CODE_LENGTH] = {0};
    if (ReadCode(code) == 0)
        return;  // one tick reads at most one code
    ShowCodeHistory(code);
    if (g_tray.fourKeyMap)
        MapCodeFourKeys(code);
    else
        MapCodeTwoKeys(code);
}

void ShowCodeHistory(const unsigned char code[IR_CODE_LENGTH])
{
    if (!g_tray.visible)
        return;
    unsigned char* history = g_tray.codeHistory;
    memmove(history, history + IR_CODE_LENGTH, sizeof g_tray.codeHistory - IR_CODE_LENGTH);
    memcpy(history + sizeof g_tray.codeHistory - IR_CODE_LENGTH, code, IR_CODE_LENGTH);
    SStr title;
    for (int i = 0; i < kHistoryCodes; ++i) {
        const unsigned char* group = history + i * IR_CODE_LENGTH;
        SStr text;
        text.Format("[%02X][%02X][%02X]=", unsigned(group[0]), unsigned(group[1]),
                    unsigned(group[2]));
        title.Append(text.Chars());
    }
    SetWindowTextA(g_tray.window, title.Chars());
}

void MapCodeTwoKeys(const unsigned char code[IR_CODE_LENGTH])
{
    // The first byte that carries a whole pattern decides.
    for (int i = 0; i < IR_CODE_LENGTH; ++i) {
        if (code[i] == kPageUpByte) {
            SendKey(VK_PRIOR);
            return;
        }
        if (code[i] == kPageDownByte) {
            SendKey(VK_NEXT);
            return;
        }
    }
    // Otherwise the pattern spoilt least wins; a tie sends nothing.
    int notDown = BytesMissingBits(code, kPageDownByte);
    int notUp = BytesMissingBits(code, kPageUpByte);
    if (notDown > notUp)
        SendKey(VK_PRIOR);
    else if (notDown < notUp)
        SendKey(VK_NEXT);
}

void MapCodeFourKeys(const unsigned char code[IR_CODE_LENGTH])
{
    int votes[kFourKeys + 1] = {0};  // the last slot collects nibbles that vote for none
    for (int i = 0; i < IR_CODE_LENGTH; ++i) {
        ++votes[NibbleVote(code[i] & 0x0F, false)];
        ++votes[NibbleVote(code[i] >> 4, true)];
    }
    // Only a key with strictly more votes than each other key is sent.
    for (int key = 0; key < kFourKeys; ++key) {
        bool greatest = true;
        for (int other = 0; other < kFourKeys; ++other)
            if (other != key && votes[other] >= votes[key])
                greatest = false;
        if (greatest) {
            SendKey(kFourKeyVk[key]);
            return;
        }
    }
}
