// Every fixed screen text, as code page 932 bytes. Stored texts keep their trailing blanks
// so that a shorter text overwrites a longer one. The *Length constants are the bytes drawn.
#pragma once

namespace kt57 {

// start-up: program file missing or empty: " 実行データなし  "
inline constexpr char noProgramDataText[] = " \x8E\xC0\x8Ds\x83""f\x81[\x83^\x82\xC8\x82\xB5  ";  // 17 bytes
inline constexpr int noProgramDataLength = 16;

// start-up: no board: " 接続なし        "
inline constexpr char noConnectionText[] = " \x90\xDA\x91\xB1\x82\xC8\x82\xB5        ";  // 17 bytes
inline constexpr int noConnectionLength = 16;

// running outside step mode: "連続実行中 (Sキーで実行停止)         "
inline constexpr char runningText[] = "\x98""A\x91\xB1\x8E\xC0\x8Ds\x92\x86 (S\x83L\x81[\x82\xC5\x8E\xC0\x8Ds\x92\xE2\x8E~)         ";  // 37 bytes
inline constexpr int runningLength = 37;

// stopped, no continue line: "停止中 (自動 Gで1番から開始)         "
inline constexpr char stoppedAutoText[] = "\x92\xE2\x8E~\x92\x86 (\x8E\xA9\x93\xAE G\x82\xC5""1\x94\xD4\x82\xA9\x82\xE7\x8AJ\x8En)         ";  // 37 bytes
inline constexpr int stoppedAutoLength = 37;

// stopped, with a continue line: "停止中 (自動 Gで1番から開始、Cで継続)"
inline constexpr char stoppedAutoContinueText[] = "\x92\xE2\x8E~\x92\x86 (\x8E\xA9\x93\xAE G\x82\xC5""1\x94\xD4\x82\xA9\x82\xE7\x8AJ\x8En\x81""AC\x82\xC5\x8Cp\x91\xB1)";  // 37 bytes
inline constexpr int stoppedAutoContinueLength = 37;

// stopped in step mode, no continue line: "停止中 (ステップ Gで1番から開始)     "
inline constexpr char stoppedStepText[] = "\x92\xE2\x8E~\x92\x86 (\x83X\x83""e\x83""b\x83v G\x82\xC5""1\x94\xD4\x82\xA9\x82\xE7\x8AJ\x8En)     ";  // 37 bytes
inline constexpr int stoppedStepLength = 37;

// stopped in step mode, with a continue line: "停止中 (ステップ Gで1番から、Cで継続)"
inline constexpr char stoppedStepContinueText[] = "\x92\xE2\x8E~\x92\x86 (\x83X\x83""e\x83""b\x83v G\x82\xC5""1\x94\xD4\x82\xA9\x82\xE7\x81""AC\x82\xC5\x8Cp\x91\xB1)";  // 37 bytes
inline constexpr int stoppedStepContinueLength = 37;

// step mode, waiting for Enter: "ステップ実行中 (enterキーで次へ)     "
inline constexpr char steppingWaitText[] = "\x83X\x83""e\x83""b\x83v\x8E\xC0\x8Ds\x92\x86 (enter\x83L\x81[\x82\xC5\x8E\x9F\x82\xD6)     ";  // 37 bytes
inline constexpr int steppingWaitLength = 37;

// step mode, not waiting: "ステップ実行中                       "
inline constexpr char steppingText[] = "\x83X\x83""e\x83""b\x83v\x8E\xC0\x8Ds\x92\x86                       ";  // 37 bytes
inline constexpr int steppingLength = 37;

// sleeping; formatted with the remaining seconds: "スリープ中  %d                        "
inline constexpr char sleepFormat[] = "\x83X\x83\x8A\x81[\x83v\x92\x86  %d                        ";  // 38 bytes

// message field; 20 bytes are drawn: "   Ver3.2                   "
inline constexpr char versionText[] = "   Ver3.2                   ";  // 28 bytes
inline constexpr int versionLength = 20;

// reply wait limit exceeded: "データエラー          "
inline constexpr char dataErrorText[] = "\x83""f\x81[\x83^\x83G\x83\x89\x81[          ";  // 22 bytes
inline constexpr int dataErrorLength = 22;

// burst limit exceeded: "ループエラー          "
inline constexpr char loopErrorText[] = "\x83\x8B\x81[\x83v\x83G\x83\x89\x81[          ";  // 22 bytes
inline constexpr int loopErrorLength = 22;

// reconnect limit exceeded: "デバイス接続エラー    "
inline constexpr char deviceErrorText[] = "\x83""f\x83o\x83""C\x83X\x90\xDA\x91\xB1\x83G\x83\x89\x81[    ";  // 22 bytes
inline constexpr int deviceErrorLength = 22;

// start-up banner: "DIOシーケンサ KT57D Ver3.2   "
inline constexpr char titleBannerText[] = "DIO\x83V\x81[\x83P\x83\x93\x83T KT57D Ver3.2   ";  // 29 bytes
inline constexpr int titleBannerLength = 28;

// header, with nextLine and lineCount: "実行データNo. %3d / %3d      "
inline constexpr char headerFormat[] = "\x8E\xC0\x8Ds\x83""f\x81[\x83^No. %3d / %3d      ";  // 29 bytes

// label caption; 6 bytes are drawn: "ラベル "
inline constexpr char labelCaptionText[] = "\x83\x89\x83x\x83\x8B ";  // 7 bytes
inline constexpr int labelCaptionLength = 6;

// register caption: "レジスタ "
inline constexpr char registerCaptionText[] = "\x83\x8C\x83W\x83X\x83^ ";  // 9 bytes
inline constexpr int registerCaptionLength = 9;

// send caption; 16 bytes are drawn: "送信 >>          "
inline constexpr char sendCaptionText[] = "\x91\x97\x90M >>          ";  // 17 bytes
inline constexpr int sendCaptionLength = 16;

// receive caption; 16 bytes are drawn: "受信 >>          "
inline constexpr char receiveCaptionText[] = "\x8E\xF3\x90M >>          ";  // 17 bytes
inline constexpr int receiveCaptionLength = 16;

// activity indicator, square on the right: "   □ "
inline constexpr char indicatorRightText[] = "   \x81\xA0 ";  // 6 bytes

// activity indicator, square on the left: " □   "
inline constexpr char indicatorLeftText[] = " \x81\xA0   ";  // 6 bytes
inline constexpr int indicatorLength = 6;  // either square fills the same six cells

// listing marker: last executed line: "■"
inline constexpr char markerBlack[] = "\x81\xA1";  // 2 bytes

// listing marker: next line: "次"
inline constexpr char markerNext[] = "\x8E\x9F";  // 2 bytes

// the one menu: "ﾒﾆｭｰ"
inline constexpr char menuTitleText[] = "\xD2\xC6\xAD\xB0";  // 4 bytes

// its one item, command 40001: "ﾌﾟﾛｸﾞﾗﾑ終了"
inline constexpr char menuEndProgramText[] = "\xCC\xDF\xDB\xB8\xDE\xD7\xD1\x8FI\x97\xB9";  // 11 bytes

// the console font's face: "ＭＳ ゴシック"
inline constexpr char fontFaceName[] = "\x82l\x82r \x83S\x83V\x83""b\x83N";  // 13 bytes
inline constexpr int fontFaceNameLength = 13;

// listing markers drawn as two single-byte characters (the break line, G and C)
inline constexpr char markerBreakCurrent[] = "*B";   // break line, last executed
inline constexpr char markerBreakContinue[] = "CB";  // break line where the C key resumes
inline constexpr char markerBreak[] = " B";          // break line
inline constexpr char markerStart[] = "G ";          // where the G key starts
inline constexpr char markerContinue[] = "C ";       // where the C key resumes
inline constexpr char markerNone[] = "  ";           // erases an old marker
inline constexpr int markerLength = 2;               // every marker fills the same two cells

// line-number field while stopped: "  0 " at the first line, "END " without a continue line
inline constexpr char lineNumberZeroText[] = "  0 ";
inline constexpr char lineNumberEndText[] = "END ";
inline constexpr int lineNumberLength = 4;

// label field for a line without a label: "___    "
inline constexpr char noLabelText[] = "___    ";
inline constexpr int labelFieldLength = 7;

// formats of the numeric fields
inline constexpr char lineNumberFormat[] = "%3d ";         // line-number field and loop counter
inline constexpr char labelFieldFormat[] = "%3d    ";      // label field
inline constexpr char listingNumberLabelFormat[] = "%3d %3d ";  // listing: line number and label
inline constexpr char listingNumberFormat[] = "%3d     ";   // listing: line number only

}  // namespace kt57
