#pragma once
// Menus another plug-in supplies, laid out as tools/sample_menu's: a main
// menu (record id 2000, asked for as 1000) with an item of every kind, and an
// options sub-menu (2001, asked for as 1001) whose last entry nobody supplies.

#include <cstdint>
#include <cstring>

#include "menus/menu_record.h"

namespace quillet::soak {

constexpr std::int32_t kSampleMainId = 2000;
constexpr std::int32_t kSampleOptionsId = 2001;
constexpr std::int32_t kSampleMissingId = 2002;
// The ids the records are asked for: their own, translated by the offset.
constexpr std::int32_t kSampleMainRequest = 1000;
constexpr std::int32_t kSampleOptionsRequest = 1001;
// The values' ids as the supplier is told them.
constexpr std::int32_t kBrightnessId = 1010;
constexpr std::int32_t kColourId = 1011;
constexpr std::int32_t kShuffleId = 1012;
constexpr std::int32_t kCountId = 1013;
constexpr std::int32_t kNameId = 1014;
constexpr std::int32_t kNameCapacity = 20;

struct SampleMenus {
  SampleMenus() {
    std::memcpy(colours, "Red\0Green\0Blue\0", sizeof colours);
    std::strcpy(name, "Quillet");
    mainItems[0] = Item("Player menu", kSubmenu, 10, 0, nullptr, "", 0, 0);
    mainItems[1] = Item("Options", kSubmenu, kSampleOptionsId, 0, nullptr, "", 0, 0);
    mainItems[2] = Item("Play", kCommand, 40045, kAfterShowAgain, nullptr, "", 0, 0);
    mainItems[3] = Item("Brightness", kLevel, 2010, 5, nullptr, "", 0, 10);
    mainItems[4] = Item("Colour", kChoice, 2011, 1, colours, "", 0, 3);
    mainItems[5] = Item("Shuffle", kSwitch, 2012, 0, nullptr, "", 0, 0);
    mainItems[6] = Item("Count", kNumber, 2013, 7, nullptr, "How many", 1, 99);
    mainItems[7] = Item("Name", kText, 2014, 0, name, "Your name", 0, kNameCapacity);
    optionItems[0] = Item("Fullscreen", kCommand, 40337, kAfterShowAgain, nullptr, "", 0, 0);
    optionItems[1] = Item("Volume", kLevel, 101, 128, nullptr, "", 0, 255);
    optionItems[2] = Item("Missing", kSubmenu, kSampleMissingId, 0, nullptr, "", 0, 0);
    main = Record(mainItems, 8, kSampleMainId, 0, "Sample menu");
    options = Record(optionItems, 3, kSampleOptionsId, kSampleMainId, "Sample options");
  }
  SampleMenus(const SampleMenus&) = delete;
  SampleMenus& operator=(const SampleMenus&) = delete;

  MenuItem& brightness() { return mainItems[3]; }
  MenuItem& optionsVolume() { return optionItems[1]; }

  char colours[16];
  char name[kNameCapacity + 1];
  MenuItem mainItems[8];
  MenuItem optionItems[3];
  Menu main;
  Menu options;

 private:
  static MenuItem Item(const char* label, std::int32_t kind, std::int32_t id, std::int32_t value,
                       char* labels, const char* prompt, std::int32_t minimum,
                       std::int32_t maximum) {
    MenuItem item{};
    std::strncpy(item.name, label, sizeof item.name - 1);
    item.kind = kind;
    item.id = id;
    item.value = value;
    item.labels = labels;
    std::strncpy(item.prompt, prompt, sizeof item.prompt - 1);
    item.minimum = minimum;
    item.maximum = maximum;
    return item;
  }
  static Menu Record(MenuItem* items, std::int32_t count, std::int32_t id, std::int32_t parent,
                     const char* title) {
    Menu menu{};
    menu.items = items;
    menu.count = count;
    menu.id = id;
    menu.parent = parent;
    std::strncpy(menu.title, title, sizeof menu.title - 1);
    return menu;
  }
};

}  // namespace quillet::soak
