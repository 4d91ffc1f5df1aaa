// The Device list's selection: CurrentTarget, its refresh, and what a change of selection
// does to the field texts, the window's layout and the settings. row is the list's selected
// row, -1 for none.
#pragma once

#include <string>

#include "session/window_state.h"

namespace vek {

// What the window shows for a family: label captions and whether the FuseX label, field,
// Set button and "R" button are enabled.
struct FamilyLayout {
    std::string fuseLabel;
    std::string devWordLabel;
    bool fuseXControlsEnabled = false;

    bool operator==(const FamilyLayout&) const = default;
};

FamilyLayout LayoutOf(TargetFamily family);

// Copies the row into CurrentTarget; no selection keeps the old copy, and so does a running
// device operation.
void RefreshCurrentTarget(WindowState& state, int row, bool operationRunning);

// Start-up: the row to select from the saved choice; an unknown number falls back to row 0.
int SavedSelectionRow(const WindowState& state);

// Loads the family's saved words (absent keys give "---") into the fields and returns the
// layout to apply. Used by start-up and by the list closing up.
FamilyLayout ApplyFamilyLayout(const WindowState& state, FieldTexts& fields, int row);

// The list reports a new selection. The window then sets both Set captions to "Set" and
// closes the open configuration editors.
void OnSelectionChanged(WindowState& state, FieldTexts& fields, int row, bool operationRunning);

// The drop-down part closed: saves the selection and returns the layout to apply. The window
// then gives the focus to Blank Check.
FamilyLayout OnListClosedUp(const WindowState& state, FieldTexts& fields, int row);

}  // namespace vek
