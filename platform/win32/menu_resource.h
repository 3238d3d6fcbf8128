/* Resource numbers shared by kt57d.rc and the shell. Plain macros: the resource compiler reads this too. */
#pragma once

#define KT57_MAIN_MENU 101
#define KT57_END_PROGRAM_COMMAND 40001
