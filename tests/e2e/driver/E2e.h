// Everything an end-to-end test needs: include this one header.
//
//   tw::e2e::App app;                                  // Tarnwick.exe copied to a temp folder
//   ASSERT_TRUE(app.Start());                          // waits for the visible main window
//   HWND list = tw::e2e::ControlById(app.MainWindow(), tw::ids::lstWindowName);
//   tw::e2e::RemoteListView rows(list);
//   EXPECT_TRUE(tw::e2e::WaitUntil([&] { return rows.RowCount() > 0; }));
//   tw::e2e::PressKey('X', tw::e2e::kAlt);
//   EXPECT_TRUE(app.Close());
//
// Conventions:
// - Actions (App::Start, Helper::Start, RemoteBuffer...) record why they failed with
//   ADD_FAILURE and return false/empty: ASSERT on the result. Queries and waits (WaitUntil,
//   WaitForTopLevel, ToolTipOf...) record nothing, since "not there" may be what is expected.
// - Input is asynchronous: after a Click or PressKey, WaitUntil what the user would see.
// - Another program is a helper exe: tests/e2e/helpers/NAME.cpp, started with
//   Helper::Start(HelperExe(L"NAME")), calling helper::SignalReady() and RunUntilQuit()
//   (HelperSide.h) and reporting with helper::Say().
// - Everything a test starts is ended when the test process ends, even by a crash.
#pragma once

#include "App.h"
#include "Capture.h"
#include "Controls.h"
#include "Input.h"
#include "ListView.h"
#include "Paths.h"
#include "Process.h"
#include "Remote.h"
#include "Wait.h"
