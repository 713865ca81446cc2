// The Windows build takes its menu from app/quillon.rc, the shim from the table in app/menu.cpp.
// These tests keep the two from drifting apart.
#include "app/menu.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ScriptMenuItem {
    int depth;
    std::string text;
    unsigned commandId;
    bool popup;
};

bool readFile(const char* path, std::string* text) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return false;
    }
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text->append(chunk, count);
    }
    std::fclose(file);
    return true;
}

// Splits a resource script into words, numbers, quoted strings (kept with their quotes) and
// single punctuation marks. Comments and preprocessor lines are dropped.
std::vector<std::string> tokenize(const std::string& script) {
    std::vector<std::string> tokens;
    size_t i = 0;
    bool lineStart = true;
    while (i < script.size()) {
        char c = script[i];
        if (c == '\n') {
            lineStart = true;
            ++i;
        } else if (std::isspace((unsigned char)c)) {
            ++i;
        } else if ((lineStart && c == '#') || script.compare(i, 2, "//") == 0) {
            i = script.find('\n', i);
        } else if (script.compare(i, 2, "/*") == 0) {
            size_t end = script.find("*/", i + 2);
            i = end == std::string::npos ? end : end + 2;
        } else if (c == '"') {
            size_t end = script.find('"', i + 1);
            if (end == std::string::npos) {
                end = script.size() - 1;
            }
            tokens.push_back(script.substr(i, end + 1 - i));
            i = end + 1;
            lineStart = false;
        } else if (std::isalnum((unsigned char)c) || c == '_') {
            size_t end = i;
            while (end < script.size() &&
                   (std::isalnum((unsigned char)script[end]) || script[end] == '_')) {
                ++end;
            }
            tokens.push_back(script.substr(i, end - i));
            i = end;
            lineStart = false;
        } else {
            tokens.push_back(std::string(1, c));
            ++i;
            lineStart = false;
        }
    }
    return tokens;
}

// Index of the first token after "<id> MENU", or 0 when the script has no such menu.
size_t findMenu(const std::vector<std::string>& tokens, unsigned id) {
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i] == std::to_string(id) && tokens[i + 1] == "MENU") {
            return i + 2;
        }
    }
    return 0;
}

// The LANGUAGE statement in force where the menu starts.
std::string languageBefore(const std::vector<std::string>& tokens, size_t menuStart) {
    std::string language;
    for (size_t i = 0; i + 3 < menuStart; ++i) {
        if (tokens[i] == "LANGUAGE") {
            language = tokens[i + 1] + tokens[i + 2] + tokens[i + 3];
        }
    }
    return language;
}

bool isOpen(const std::string& token) {
    return token == "BEGIN" || token == "{";
}
bool isClose(const std::string& token) {
    return token == "END" || token == "}";
}

std::string unquote(const std::string& token) {
    return token.size() >= 2 && token.front() == '"' ? token.substr(1, token.size() - 2) : "";
}

// Reads the menu's items in order, depth 0 for the menu bar; false on anything it does not know.
bool parseMenu(const std::vector<std::string>& tokens, size_t at,
               std::vector<ScriptMenuItem>* items) {
    while (at < tokens.size() && !isOpen(tokens[at])) {
        ++at;  // load and memory options such as DISCARDABLE
    }
    int depth = -1;
    for (; at < tokens.size(); ++at) {
        const std::string& token = tokens[at];
        if (isOpen(token)) {
            ++depth;
        } else if (isClose(token)) {
            if (--depth < 0) {
                return true;
            }
        } else if (token == "POPUP" && at + 1 < tokens.size()) {
            items->push_back({depth, unquote(tokens[++at]), 0, true});
        } else if (token == "MENUITEM" && at + 3 < tokens.size() && tokens[at + 2] == ",") {
            unsigned long id = std::strtoul(tokens[at + 3].c_str(), nullptr, 0);
            items->push_back({depth, unquote(tokens[at + 1]), (unsigned)id, false});
            at += 3;
        } else {
            return false;
        }
    }
    return false;
}

std::vector<std::string> loadScriptTokens() {
    std::string script;
    EXPECT_TRUE(readFile(QUILLON_SOURCE_DIR "/app/quillon.rc", &script));
    return tokenize(script);
}

}  // namespace

TEST(MenuResource, ScriptDeclaresMenu101InUnitedStatesEnglish) {
    std::vector<std::string> tokens = loadScriptTokens();
    size_t menuStart = findMenu(tokens, menuResourceId);
    ASSERT_NE(menuStart, 0u);
    EXPECT_EQ(languageBefore(tokens, menuStart), "LANG_ENGLISH,SUBLANG_ENGLISH_US");
}

TEST(MenuResource, ScriptHoldsTheMenuTableItemForItem) {
    std::vector<std::string> tokens = loadScriptTokens();
    std::vector<ScriptMenuItem> items;
    ASSERT_TRUE(parseMenu(tokens, findMenu(tokens, menuResourceId), &items));
    ASSERT_EQ((int)items.size(), appMenuCount);
    for (int i = 0; i < appMenuCount; ++i) {
        SCOPED_TRACE(appMenu[i].text);
        EXPECT_EQ(items[i].depth, appMenu[i].depth);
        EXPECT_EQ(items[i].text, appMenu[i].text);
        EXPECT_EQ(items[i].popup, appMenu[i].popup);
        EXPECT_EQ(items[i].commandId, appMenu[i].commandId);
    }
}

#ifdef _WIN32
// The test binary links the same script, so the compiled resource can be walked as Windows
// sees it.
TEST(MenuResource, CompiledMenuMatchesTheTable) {
    HINSTANCE module = GetModuleHandleA(NULL);
    EXPECT_NE(FindResourceExA(module, (LPCSTR)RT_MENU, MAKEINTRESOURCEA(menuResourceId),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr);
    HMENU bar = LoadMenuA(module, MAKEINTRESOURCEA(menuResourceId));
    ASSERT_NE(bar, nullptr);

    HMENU popup = NULL;
    int barPosition = 0;
    int popupPosition = 0;
    for (int i = 0; i < appMenuCount; ++i) {
        SCOPED_TRACE(appMenu[i].text);
        HMENU menu = appMenu[i].depth == 0 ? bar : popup;
        int position = appMenu[i].depth == 0 ? barPosition++ : popupPosition++;
        ASSERT_NE(menu, nullptr);
        char text[64] = {};
        GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, appMenu[i].text);
        if (appMenu[i].popup) {
            popup = GetSubMenu(menu, position);
            popupPosition = 0;
            EXPECT_NE(popup, nullptr);
        } else {
            EXPECT_EQ((unsigned)GetMenuItemID(menu, position), appMenu[i].commandId);
        }
    }
    EXPECT_EQ(GetMenuItemCount(bar), barPosition);
    EXPECT_EQ(GetMenuItemCount(popup), popupPosition);
    DestroyMenu(bar);
}
#endif
