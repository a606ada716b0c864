#pragma once
// A menu source that serves whatever record it is given and does nothing
// else, for looking at how the protocol shows a record.

#include "menus/menu_source.h"

namespace quillet::testing {

class StubMenuSource : public MenuSource {
 public:
  Menu* current = nullptr;
  Menu* CurrentMenu() override { return current; }
  void OpenMenu(std::int32_t) override {}
  void CloseMenu() override {}
  void ReopenMenu() override {}
  std::int32_t GlobalId(std::int32_t id) const override { return id; }
  void ApplyValue(std::int32_t, std::int32_t) override {}
  void PostCommand(std::int32_t, std::int32_t) override {}
};

}  // namespace quillet::testing
