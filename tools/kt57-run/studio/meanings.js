// The console's texts in English, for the hover on a screen text. The screen keeps its own
// Japanese texts; this is the one table of what they mean. Longer texts come first, so that a
// text holding a shorter one is found as itself.
"use strict";

const screenMeanings = [
  ["停止中 (自動 Gで1番から開始、Cで継続)", "Stopped (automatic): G starts from line 1, C continues"],
  ["停止中 (ステップ Gで1番から、Cで継続)", "Stopped (step by step): G starts from line 1, C continues"],
  ["停止中 (ステップ Gで1番から開始)", "Stopped (step by step): G starts from line 1"],
  ["停止中 (自動 Gで1番から開始)", "Stopped (automatic): G starts from line 1"],
  ["ステップ実行中 (enterキーで次へ)", "Running step by step: Enter runs the next line"],
  ["連続実行中 (Sキーで実行停止)", "Running continuously: S stops"],
  ["ステップ実行中", "Running step by step"],
  ["DIOシーケンサ KT57D", "DIO sequencer KT57D"],
  ["デバイス接続エラー", "Device connection error: a command found no board"],
  ["実行データなし", "No program data"],
  ["実行データNo.", "Program line: the running line / the number of lines"],
  ["データエラー", "Data error: a reply never came"],
  ["ループエラー", "Loop error: too many lines without a command or a sleep"],
  ["ﾌﾟﾛｸﾞﾗﾑ終了", "Exit program"],
  ["スリープ中", "Sleeping; the number counts the sleep down"],
  ["接続なし", "Not connected"],
  ["レジスタ", "Register: the output register's value"],
  ["送信 >>", "Sent >>: the last frame sent to the board"],
  ["受信 >>", "Received >>: the last reply from the board"],
  ["ラベル", "Label"],
  ["ﾒﾆｭｰ", "Menu"],
  ["次", "Next"],
];
