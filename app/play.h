// play.h: the set-up both entries share (main.cpp with its command line,
// show_main.cpp of the browser build without one): the window's platform,
// the data folder, and the show in its window. Depends on framework/,
// demo/ and platform/.
#pragma once

#include "framework/glwindow.h"

#include <string>

// The windowing platform for the show; false after one line saying why.
bool select_window_platform();
// Chooses the folder the show, the capture and --check-data read, the
// --data folder first (empty: not given), and says so when it is not the
// one asked for or when none holds the show's files (the show then runs
// with empty pictures and no music).
void choose_data_folder(const std::string& option_folder);
// Plays the show in a window made as window says; the process's exit code.
int play_show(WindowSettings window);
