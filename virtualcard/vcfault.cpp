// The card's fault injection: the faults this process armed, and those every
// process of the prefix shares through the card's registry key.
#include "virtualcard/vcfault.h"

#include "virtualcard/vclog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

// Every call that can be armed, with the outputs it can hand back instead.
struct Method {
    const char *name;
    unsigned outputs;   // bit per VcOutput
};

constexpr unsigned Bit(VcOutput output) { return 1u << output; }

const Method kMethods[] = {
    {"DirectSoundCreate", Bit(VcNullOut)},
    {"DirectSoundEnumerate", 0},
    {"EnumerateDevice", 0},
    {"DirectSoundQueryInterface", Bit(VcNullOut)},
    {"SetCooperativeLevel", 0},
    {"CreateSoundBuffer", Bit(VcNullOut)},
    {"GetSpeakerConfig", 0},
    {"SetSpeakerConfig", 0},
    {"QueryInterface", Bit(VcNullOut)},
    {"Lock", Bit(VcShortData) | Bit(VcSplitLock)},
    {"Unlock", 0},
    {"Play", 0},
    {"Stop", 0},
    {"GetStatus", Bit(VcBufferLost)},
    {"PropertySetQueryInterface", Bit(VcNullOut)},
    {"QuerySupport", Bit(VcNoSetBit)},
    {"Get", Bit(VcShortData)},
    {"Set", 0},
    {"mixerGetDevCapsA", 0},
    {"mixerOpen", 0},
    {"mixerClose", 0},
    {"mixerGetID", 0},
    {"mixerGetLineInfoA", 0},
    {"mixerGetLineControlsA", 0},
    {"mixerGetControlDetailsA", 0},
    {"mixerSetControlDetails", 0},
};

const char *const kOutputWords[] = {nullptr, "null", "short", "split", "lost", "noset"};

struct Fault {
    const Method *method;
    int n;       // 0: every call
    int calls;   // calls counted since armed
    CardCall effect;
    bool shared; // read from the registry, replaced when it changes there
};

std::vector<Fault> faults;
bool sharedLoaded;
DWORD sharedGeneration;
const char kFaultsKey[] = VCARD_KEY "\\Faults";

// A misspelt call name would arm nothing and let a test pass for the wrong
// reason: the arming process ends at once instead.
[[noreturn]] void Refuse(const char *what, const char *method)
{
    fprintf(stderr, "virtual card: %s \"%s\"\n", what, method ? method : "(null)");
    fflush(stderr);
    ExitProcess(3);
}

const Method *FindMethod(const char *name)
{
    for (const Method &m : kMethods)
        if (name && strcmp(m.name, name) == 0)
            return &m;
    return nullptr;
}

void Arm(const char *name, int n, CardCall effect, bool shared)
{
    const Method *method = FindMethod(name);
    if (!method)
        Refuse("no call of the card is named", name);
    if (effect.output && !(method->outputs & Bit(effect.output)))
        Refuse("this output cannot come from", name);
    if (n < 0)
        Refuse("a negative call number for", name);
    faults.push_back(Fault{method, n, 0, effect, shared});
}

bool ParseEffect(const char *text, CardCall *effect)
{
    *effect = CardCall{S_OK, VcOutput(0)};
    for (int i = 1; i < int(sizeof kOutputWords / sizeof *kOutputWords); ++i)
        if (strcmp(text, kOutputWords[i]) == 0) {
            effect->output = VcOutput(i);
            return true;
        }
    char *end;
    unsigned long value = strtoul(text, &end, 0);
    effect->result = static_cast<HRESULT>(value);
    return end != text && *end == '\0';
}

DWORD ReadGeneration(HKEY key)
{
    DWORD generation = 0, size = sizeof generation, type;
    if (RegQueryValueExA(key, "Generation", nullptr, &type, reinterpret_cast<BYTE *>(&generation),
                         &size) != ERROR_SUCCESS || type != REG_DWORD)
        return 0;
    return generation;
}

// A generation that no earlier one of this prefix had: the time, made to
// differ from the one before.
DWORD NextGeneration(DWORD previous)
{
    DWORD now = GetTickCount();
    return now == previous || now == 0 ? previous + 1 : now;
}

void DropSharedFaults()
{
    std::vector<Fault> own;
    for (const Fault &f : faults)
        if (!f.shared)
            own.push_back(f);
    faults.swap(own);
}

// Rereads the shared faults when they changed since this process read them
// (a removed key counts as generation 0); they replace the shared ones read
// before, and their counting starts afresh.
void LoadSharedFaults()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kFaultsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        key = nullptr;
    DWORD generation = key ? ReadGeneration(key) : 0;
    if (sharedLoaded && generation == sharedGeneration) {
        if (key)
            RegCloseKey(key);
        return;
    }
    sharedLoaded = true;
    sharedGeneration = generation;
    DropSharedFaults();
    for (DWORD i = 0; key; ++i) {
        char name[64], data[128], method[64], effectText[64];
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type;
        LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE *>(data),
                                &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize] = '\0';
        int n;
        CardCall effect;
        if (sscanf(data, "%63s %d %63s", method, &n, effectText) != 3 || !ParseEffect(effectText, &effect))
            Refuse("a shared fault cannot be read:", data);
        Arm(method, n, effect, true);
    }
    if (key)
        RegCloseKey(key);
}

} // namespace

CardCall CardFault(const char *method)
{
    LoadSharedFaults();
    CardCall outcome = {S_OK, VcOutput(0)};
    bool decided = false;
    for (Fault &f : faults) {
        if (strcmp(f.method->name, method) != 0)
            continue;
        ++f.calls;
        if (decided || (f.n != 0 && f.calls != f.n))
            continue;
        decided = true;
        outcome = f.effect;
        if (outcome.output)
            VcLog("fault method=%s call=%d output=%s", method, f.calls, kOutputWords[outcome.output]);
        else
            VcLog("fault method=%s call=%d hr=0x%08lx", method, f.calls,
                  static_cast<unsigned long>(outcome.result));
    }
    return outcome;
}

bool VcFailCall(const char *method, int n, HRESULT result)
{
    LoadSharedFaults();
    Arm(method, n, CardCall{result, VcOutput(0)}, false);
    return true;
}

bool VcBendCall(const char *method, int n, VcOutput output)
{
    LoadSharedFaults();
    Arm(method, n, CardCall{S_OK, output}, false);
    return true;
}

bool VcShareFault(const char *method, int n, const char *effect)
{
    CardCall parsed;
    const Method *known = FindMethod(method);
    if (!known)
        Refuse("no call of the card is named", method);
    if (!ParseEffect(effect, &parsed) || (parsed.output && !(known->outputs & Bit(parsed.output))))
        Refuse("this effect cannot come from", method);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kFaultsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    DWORD generation = NextGeneration(ReadGeneration(key));
    char name[16], data[128];
    snprintf(name, sizeof name, "%lu", static_cast<unsigned long>(generation));
    snprintf(data, sizeof data, "%s %d %s", method, n, effect);
    bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data),
                             static_cast<DWORD>(strlen(data) + 1)) == ERROR_SUCCESS &&
              RegSetValueExA(key, "Generation", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&generation),
                             sizeof generation) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

void VcClearFaults()
{
    faults.clear();
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kFaultsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        // The values go, the generation stays and moves on, so that every
        // process drops what it read.
        DWORD generation = NextGeneration(ReadGeneration(key));
        char name[64];
        DWORD size = sizeof name;
        for (DWORD i = 0; RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             size = sizeof name) {
            if (strcmp(name, "Generation") == 0)
                ++i;
            else
                RegDeleteValueA(key, name);
        }
        RegSetValueExA(key, "Generation", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&generation),
                       sizeof generation);
        RegCloseKey(key);
        sharedGeneration = generation;
    }
    sharedLoaded = true;
}

void CardForgetFaults()
{
    faults.clear();
    sharedLoaded = true;
    sharedGeneration = 0;
}
