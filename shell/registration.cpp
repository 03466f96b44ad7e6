// The add-in's face toward Excel: the library entry point, the six add-in entry points,
// and the registration of the worksheet functions when the add-in opens.
//
// At open the function table is turned into a list of zero-terminated texts
// (RegistrationStrings): per function its name, type text, argument text, function help
// and argument helps, then a null; one more null ends the list. Each function's group is
// then handed to xlfRegister as counted strings. The list and the argument arrays are kept
// until the next open, which releases them before building its own.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "shell/shell.h"

namespace kaltra {

namespace {

// The add-in's title as a counted string that also ends in a zero: the count byte, the
// text, the terminator. Category of every function, long name in the Add-in Manager.
char AddInTitle[] = "\x0c" "Kaltra V1.00";
static_assert(sizeof(AddInTitle) == 1 + 12 + 1, "count byte, 12 characters, terminator");

// 32-bit Excel takes at most 20 argument helps per function; 64-bit Excel takes them all,
// and no function may have more than kMaxArguments arguments.
constexpr int kArgumentHelpsLimit = sizeof(void*) == 4 ? kMaxArgumentHelps32 : kMaxArguments;

// A counted string holds at most 255 characters.
constexpr std::size_t kMaxCountedLength = 255;

// Texts of a function's group ahead of its argument helps: name, type text, argument
// text, function help.
constexpr int kGroupHeadTexts = 4;

// Positions of the texts in a group.
enum : int { groupName = 0, groupTypeText = 1, groupArgumentText = 2, groupFunctionHelp = 3 };

// Registration arguments ahead of the argument helps: file name, procedure, type text,
// function text, argument text, macro type, category, shortcut, help topic, function help.
constexpr int kRegisterHeadArguments = 10;

// Joined to the last argument help kept when a function has more arguments than helps.
constexpr char kMoreArgumentsMark[] = ", etc.";

// Alert kind: information, one OK button.
constexpr short kAlertInformation = 2;

// Stored messages; each starts with a blank that becomes the count byte when shown.
char BuildFailedMessage[] = " Error: can't build function params!";
char RegisterFailedMessage[] = " Error: Failed to register the XLL!";

// The list built at the last open, and the argument arrays its registration used.
char** RegistrationStrings = nullptr;
xl::XLOPER* RegisterArguments = nullptr;
xl::LPXLOPER* RegisterArgumentPointers = nullptr;

// Answers of xlAutoRegister and xlAddInManagerInfo, apart from SharedResult.
xl::XLOPER AutoRegisterResult;
xl::XLOPER ManagerInfoResult;

// Arguments of an alert.
xl::XLOPER AlertText;
xl::XLOPER AlertKind;

// Shows a message whose first byte is a placeholder: the byte becomes the length of the
// rest, which makes the buffer a counted string in place.
void showAlert(char* message) {
    message[0] = static_cast<char>(std::strlen(message + 1));
    AlertText.val.str = message;
    AlertText.xltype = xl::xltypeStr;
    AlertKind.val.w = kAlertInformation;
    AlertKind.xltype = xl::xltypeInt;
    Excel4(xl::xlcAlert, nullptr, 2, &AlertText, &AlertKind);
}

// Shows " <title> <event>\nbuilt on <date> at <time>" as an alert, formatted into a
// buffer of its own with the placeholder blank first.
void showBuildAlert(const char* format) {
    char message[256];
    if (std::snprintf(message, sizeof message, format, AddInTitle + 1, __DATE__, __TIME__) < 1) return;
    showAlert(message);
}

// A zero-terminated copy of a text, or null when memory runs out.
char* copyText(const char* text) {
    std::size_t length = std::strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

// A copy of a text with a second text joined to its end.
char* joinTexts(const char* text, const char* tail) {
    std::size_t length = std::strlen(text);
    std::size_t tailLength = std::strlen(tail);
    char* copy = new (std::nothrow) char[length + tailLength + 1];
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    std::memcpy(copy + length, tail, tailLength + 1);
    return copy;
}

// Number of argument rows of the function whose R row is at `row`.
int argumentCount(const RegistrationEntry* table, int row) {
    int n = 0;
    while (table[row + 1 + n].typeCode != 0) ++n;
    return n;
}

// A help text as registered: an absent help is empty.
const char* helpOf(const RegistrationEntry& entry) { return entry.helpText ? entry.helpText : ""; }

// Appends a copy of one function's texts to the list at `slot`; false when a text cannot
// be built (too many arguments, a missing name, a text too long to count, no memory).
bool appendFunction(const RegistrationEntry* table, int row, int maxArgumentHelps,
                    char** strings, int& slot) {
    const RegistrationEntry& function = table[row];
    if (!function.entryName || std::strlen(function.entryName) > kMaxCountedLength) return false;
    strings[slot] = copyText(function.entryName);
    if (!strings[slot++]) return false;

    // Type text and argument text in one walk: "," before every name but the first.
    char typeText[kMaxArguments + 2];
    char argumentText[kMaxCountedLength + 1];
    int n = 0;
    std::size_t used = 0;
    typeText[0] = function.typeCode;
    for (; table[row + 1 + n].typeCode != 0; ++n) {
        const RegistrationEntry& argument = table[row + 1 + n];
        if (n == kMaxArguments) return false;
        if (!argument.entryName) return false;
        std::size_t nameLength = std::strlen(argument.entryName);
        std::size_t separator = n > 0 ? 1 : 0;
        if (used + separator + nameLength > kMaxCountedLength) return false;
        if (separator) argumentText[used++] = ',';
        std::memcpy(argumentText + used, argument.entryName, nameLength);
        used += nameLength;
        typeText[1 + n] = argument.typeCode;
    }
    typeText[1 + n] = 0;
    argumentText[used] = 0;

    const char* functionHelp = helpOf(function);
    if (std::strlen(functionHelp) > kMaxCountedLength) return false;
    strings[slot] = copyText(typeText);
    if (!strings[slot++]) return false;
    strings[slot] = copyText(argumentText);
    if (!strings[slot++]) return false;
    strings[slot] = copyText(functionHelp);
    if (!strings[slot++]) return false;

    // Argument helps; past the limit the last kept one says that more arguments follow.
    int helps = std::min(n, maxArgumentHelps);
    for (int i = 0; i < helps; ++i) {
        const char* help = helpOf(table[row + 1 + i]);
        bool marked = i == helps - 1 && n > helps;
        std::size_t length = std::strlen(help) + (marked ? sizeof kMoreArgumentsMark - 1 : 0);
        if (length > kMaxCountedLength) return false;
        strings[slot] = marked ? joinTexts(help, kMoreArgumentsMark) : copyText(help);
        if (!strings[slot++]) return false;
    }
    ++slot;  // the group's closing null
    return true;
}

// Number of texts in the group starting at `strings`.
int groupSize(char* const* strings) {
    int size = 0;
    while (strings[size]) ++size;
    return size;
}

// A counted copy of a text in a fresh allocation (no terminator), as a text value.
bool setCountedText(xl::XLOPER& value, const char* text) {
    std::size_t length = std::strlen(text);
    char* counted = new (std::nothrow) char[1 + length];
    value.val.str = counted;
    value.xltype = xl::xltypeStr;
    if (!counted) return false;
    counted[0] = static_cast<char>(length);
    std::memcpy(counted + 1, text, length);
    return true;
}

void releaseCountedTexts(xl::XLOPER* values, int count) {
    for (int i = 0; i < count; ++i) {
        delete[] values[i].val.str;
        values[i].val.str = nullptr;
    }
}

// Releases the list and argument arrays of an earlier open.
void releaseRegistration() {
    freeRegistrationStrings(RegistrationStrings);
    RegistrationStrings = nullptr;
    delete[] RegisterArguments;
    RegisterArguments = nullptr;
    delete[] RegisterArgumentPointers;
    RegisterArgumentPointers = nullptr;
}

}  // namespace

char** buildRegistrationStrings(const RegistrationEntry* table, int maxArgumentHelps) {
    if (!table) return nullptr;
    if (maxArgumentHelps < 0) maxArgumentHelps = 0;

    // First pass: room for every group, and one more null to end the list.
    std::size_t slots = 1;
    for (int row = 0; table[row].typeCode != 0;) {
        if (table[row].typeCode != 'R') return nullptr;
        int n = argumentCount(table, row);
        slots += static_cast<std::size_t>(std::min(n, maxArgumentHelps)) + kGroupHeadTexts + 1;
        row += n + 2;
    }
    char** strings = new (std::nothrow) char*[slots]();
    if (!strings) return nullptr;

    // Second pass: the texts, group by group, in table order.
    int slot = 0;
    for (int row = 0; table[row].typeCode != 0;) {
        int n = argumentCount(table, row);
        if (!appendFunction(table, row, maxArgumentHelps, strings, slot)) {
            freeRegistrationStrings(strings);
            return nullptr;
        }
        row += n + 2;
    }
    return strings;
}

void freeRegistrationStrings(char** strings) {
    if (!strings) return;
    // Groups end with a null; a null where a group would start ends the list.
    for (int slot = 0; strings[slot]; ++slot) {
        for (; strings[slot]; ++slot) delete[] strings[slot];
    }
    delete[] strings;
}

int registerFunctions(const RegistrationEntry* table, int maxArgumentHelps) {
    releaseRegistration();
    RegistrationStrings = buildRegistrationStrings(table, maxArgumentHelps);
    if (!RegistrationStrings) {
        showAlert(BuildFailedMessage);
        return 0;
    }

    // Argument arrays big enough for the largest group.
    int largest = 0;
    for (char** group = RegistrationStrings; *group; group += groupSize(group) + 1) {
        if (groupSize(group) > largest) largest = groupSize(group);
    }
    RegisterArguments = new (std::nothrow) xl::XLOPER[largest + 5]();
    RegisterArgumentPointers = new (std::nothrow) xl::LPXLOPER[largest + 6]();
    if (!RegisterArguments || !RegisterArgumentPointers) {
        showAlert(BuildFailedMessage);
        return 0;
    }

    // The library's own file name is the first argument of every registration.
    xl::XLOPER fileName;
    fileName.val.str = nullptr;
    fileName.xltype = xl::xltypeNil;
    Excel4(xl::xlGetName, &fileName, 0);

    for (char** group = RegistrationStrings; *group; group += groupSize(group) + 1) {
        int helps = groupSize(group) - kGroupHeadTexts;
        int count = kRegisterHeadArguments + helps;
        xl::XLOPER* made = RegisterArguments;

        // procedure, type text, function text, argument text, macro type, category,
        // shortcut, help topic, function help, argument helps
        const char* texts[kRegisterHeadArguments - 1] = {
            group[groupName], group[groupTypeText], group[groupName], group[groupArgumentText],
            "1", AddInTitle + 1, "", "", group[groupFunctionHelp],
        };
        int madeCount = 0;
        bool complete = true;
        for (const char* text : texts) complete = setCountedText(made[madeCount++], text) && complete;
        for (int i = 0; i < helps; ++i) {
            complete = setCountedText(made[madeCount++], group[kGroupHeadTexts + i]) && complete;
        }

        RegisterArgumentPointers[0] = &fileName;
        for (int i = 0; i < madeCount; ++i) RegisterArgumentPointers[1 + i] = &made[i];

        // A text that could not be copied counts as a failed registration.
        int code = xl::xlretFailed;
        if (complete) {
            xl::XLOPER registerId;
            registerId.xltype = xl::xltypeNil;
            code = Excel4v(xl::xlfRegister, &registerId, count, RegisterArgumentPointers);
        }
        releaseCountedTexts(made, madeCount);
        if (code != xl::xlretSuccess) {
            // Excel's file-name value is released on this path too, before the alert.
            Excel4(xl::xlFree, nullptr, 1, &fileName);
            showAlert(RegisterFailedMessage);
            return 0;
        }
    }

    Excel4(xl::xlFree, nullptr, 1, &fileName);
    return 1;
}

}  // namespace kaltra

using namespace kaltra;

#ifdef _WIN32
// Windows calls this on every load and unload; there is nothing to set up or tear down.
extern "C" int __stdcall DllMain(void* /*instance*/, unsigned long /*reason*/, void* /*reserved*/) {
    return 1;
}
#endif

KALT_EXPORT int KALT_PASCAL xlAutoOpen(void) {
    return registerFunctions(RegistrationTable, kArgumentHelpsLimit);
}

KALT_EXPORT int KALT_PASCAL xlAutoClose(void) {
    return 1;
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL xlAutoRegister(xl::LPXLOPER /*name*/) {
    AutoRegisterResult.val.err = xl::xlerrValue;
    AutoRegisterResult.xltype = xl::xltypeErr;
    return &AutoRegisterResult;
}

KALT_EXPORT int KALT_PASCAL xlAutoAdd(void) {
    showBuildAlert(" %s Loaded!\nbuilt on %s at %s");
    return 1;
}

KALT_EXPORT int KALT_PASCAL xlAutoRemove(void) {
    showBuildAlert(" %s Removed!\nbuilt on %s at %s");
    return 1;
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL xlAddInManagerInfo(xl::LPXLOPER action) {
    xl::XLOPER wanted;
    wanted.val.w = static_cast<short>(xl::xltypeInt);
    wanted.xltype = xl::xltypeInt;
    xl::XLOPER code;
    code.val.w = 0;
    code.xltype = xl::xltypeNil;
    Excel4(xl::xlCoerce, &code, 2, action, &wanted);

    if (code.xltype == xl::xltypeInt && code.val.w == 1) {
        ManagerInfoResult.val.str = AddInTitle;
        ManagerInfoResult.xltype = xl::xltypeStr;
    } else {
        ManagerInfoResult.val.err = xl::xlerrValue;
        ManagerInfoResult.xltype = xl::xltypeErr;
    }
    return &ManagerInfoResult;
}
