// Every timer period of the program, named once. The data pane's default period is also the
// default text of its period box in the dialog templates (built-in and language files); a test
// keeps them equal.
#pragma once

namespace timer_periods {

// Main window: node states of the tree and the selected node's data, while a master runs.
inline constexpr int kRefreshMs = 500;
// Network tree: node icons refreshed at most this often unless forced.
inline constexpr int kTreeRefreshMs = 500;
// Status pane: the slave's status text.
inline constexpr int kStatusPaneMs = 500;
// Default of the timed data pane's and the explicit console's period box, and what a box that
// holds no positive number is set back to.
inline constexpr int kDataPaneMs = 500;
// Parameter editor: its transfer buttons are enabled after three ticks.
inline constexpr int kParamEditorTickMs = 1000;
// Wait indicator: one step of its progress bar.
inline constexpr int kWaitIndicatorStepMs = 50;
// Command script: one step of a running script.
inline constexpr int kScriptTickMs = 20;

}  // namespace timer_periods
