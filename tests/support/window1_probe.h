// Reads a Window1's two file references for tests, and makes windows the way the
// application does.
#pragma once

#include <filesystem>
#include <memory>

#include "framework/find_control.h"
#include "framework/label.h"
#include "framework/push_button.h"
#include "framework/text_area.h"
#include "repair_window/window1.h"

struct Window1Probe {
  static fw::FolderItemPtr Source(const Window1& w) { return w.pSource; }
  static fw::FolderItemPtr Dest(const Window1& w) { return w.pDest; }
  static std::string Status(const Window1& w) { return fw::FindControl<fw::TextArea>(&w, "txtStatus")->Text(); }
  static std::string FileLabel(const Window1& w) { return fw::FindControl<fw::Label>(&w, "lblFilename")->Text(); }
  static std::string RepairLine(const Window1& w) { return fw::FindControl<fw::Label>(&w, "lblRepaired")->Text(); }
  static void Repair(Window1& w) { w.Action_Repair(); }
  static std::shared_ptr<fw::PushButton> RepairButton(const Window1& w) {
    return fw::FindControl<fw::PushButton>(&w, "cmdRepair");
  }
};
