#include "tools/kt57-check/program_check.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "console/cp932.h"
#include "sequencer/line_parser.h"
#include "sequencer/loader.h"
#include "sequencer/opcode.h"
#include "sequencer/run_control.h"
#include "sequencer/sleep_time.h"
#include "sequencer/text_mode_reader.h"

namespace kt57 {

namespace {

// One read of the file as the loader sees it, with the layout of its text.
struct Piece {
    std::string bytes;  // the characters read, the newline included
    LineLayout layout;
    int fileLine;    // where the piece starts in the file, both from 1
    int fileColumn;
    bool split = false;  // part of a physical line read in several pieces
};

// The piece position of text column `column`, or where the text stopped if it is not that long.
int textPosition(const Piece& piece, int column) {
    return std::min(piece.layout.textStart + column, piece.layout.restStart);
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }
bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Text for the terminal: code page 932 as UTF-8, control bytes as \xHH, trailing blanks dropped.
std::string shown(std::string_view bytes) {
    while (!bytes.empty() && bytes.back() == ' ') {
        bytes.remove_suffix(1);
    }
    std::string out;
    size_t run = 0;
    auto flush = [&](size_t at) {
        out += cp932ToUtf8(bytes.data() + run, at - run);
        run = at + 1;
    };
    for (size_t at = 0; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x20 || byte == 0x7F) {
            flush(at);
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    flush(bytes.size());
    return "'" + out + "'";
}

std::string textOf(const ProgramLine& line) { return std::string(line.text, textColumns); }

// Only an '@' in column 2 of a device command stands for the output register.
bool sendsOutputRegister(const ProgramLine& line) { return line.opcode == DeviceCommandLine && line.text[2] == '@'; }

// The board answers an R command with the inputs, and every reply lands in the output register.
bool readsInputs(const ProgramLine& line) { return line.opcode == DeviceCommandLine && line.text[0] == 'R'; }

// A W command with its six digits written out: its reply puts exactly those outputs in the register.
bool writesOutputs(const ProgramLine& line) {
    return line.opcode == DeviceCommandLine && line.text[0] == 'W' && !sendsOutputRegister(line);
}

// AND and OR compare the inputs, FCH the flags; an operand they ignore leaves the flag alone.
bool setsConditionFlag(const ProgramLine& line) {
    switch (line.opcode) {
    case And: case Or: case OrShort: return line.operand >= 0;
    case Fch: return line.operand > 0;
    default: return false;
    }
}

// "line 5", "lines 5 to 7", "lines 2 to 3 and 7 to 9": program lines counted from 1.
std::string describeLines(const std::vector<int32_t>& indices) {
    std::vector<std::string> runs;
    for (size_t start = 0; start < indices.size();) {
        size_t end = start;
        while (end + 1 < indices.size() && indices[end + 1] == indices[end] + 1) ++end;
        const std::string first = std::to_string(shownLineNumber(indices[start]));
        runs.push_back(end == start ? first : first + " to " + std::to_string(shownLineNumber(indices[end])));
        start = end + 1;
    }
    std::string text = indices.size() == 1 ? "line " : "lines ";
    for (size_t k = 0; k < runs.size(); ++k) {
        if (k > 0) text += k + 1 == runs.size() ? " and " : ", ";
        text += runs[k];
    }
    return text;
}

// The mnemonics as written, longest first so that "OR@" is tried before "OR".
std::vector<std::string> mnemonicStems() {
    std::vector<std::string> stems;
    for (const OpCodeInfo& info : opCodeTable) {
        std::string stem(info.mnemonic);
        while (!stem.empty() && stem.back() == ' ') stem.pop_back();
        if (!stem.empty() && std::find(stems.begin(), stems.end(), stem) == stems.end()) stems.push_back(stem);
    }
    std::stable_sort(stems.begin(), stems.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return stems;
}

// One letter changed or two neighbours swapped: the usual typing slips.
bool isSlipOf(const std::string& word, const std::string& stem) {
    if (word.size() != stem.size()) return false;
    int differences = 0;
    for (size_t i = 0; i < word.size(); ++i) differences += word[i] != stem[i];
    if (differences == 1) return true;
    for (size_t i = 0; i + 1 < word.size(); ++i) {
        std::string swapped = word;
        std::swap(swapped[i], swapped[i + 1]);
        if (swapped == stem) return true;
    }
    return false;
}

class Checker {
public:
    Checker(const ProgramStore& store, std::vector<Piece>& pieces) : store_(store), pieces_(pieces) {}

    std::vector<Finding> run(size_t totalPieces) {
        checkLongLines();
        for (int32_t i = 0; i < store_.lineCount; ++i) {
            checkLine(i);
        }
        checkDuplicateLabels();
        checkOutputsAfterRead();
        checkEndlessLoops();
        if (totalPieces > static_cast<size_t>(maxProgramLines)) {
            add(maxProgramLines, 0, Severity::Error,
                std::to_string(totalPieces - maxProgramLines) +
                    " program line(s) from here on are ignored: only the first 256 are read");
        }
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        return std::move(findings_);
    }

private:
    // position: in the piece of program line index.
    void add(int32_t index, int position, Severity severity, std::string message) {
        const Piece& piece = pieces_[static_cast<size_t>(index)];
        findings_.push_back({static_cast<int>(shownLineNumber(index)), std::move(message), piece.fileLine,
                             piece.fileColumn + position, severity, {}});
    }
    void warn(int32_t index, int position, std::string message) {
        add(index, position, Severity::Warning, std::move(message));
    }
    const Piece& pieceOf(int32_t index) const { return pieces_[static_cast<size_t>(index)]; }
    Note noteAt(int32_t index, std::string message) const {
        const Piece& piece = pieceOf(index);
        return {piece.fileLine, piece.fileColumn + textPosition(piece, 0), std::move(message)};
    }

    // The lines that may run after line i: the next one, a jump's target, or both; lineCount ends.
    std::vector<int32_t> successors(int32_t i) const {
        const ProgramLine& line = store_.lines[i];
        const int32_t target = line.target >= 0 ? line.target : store_.lineCount;
        switch (line.opcode) {
        case Jmp: return {target};
        case Jng: case Jok: case Jnz: case Jz: case JzShort: return {i + 1, target};
        default: return {i + 1};
        }
    }

    void checkLine(int32_t i) {
        const ProgramLine& line = store_.lines[i];
        const std::string text = textOf(line);
        const OpCodeInfo* info = findOpCodeInfo(line.opcode);
        if (line.opcode == DeviceCommandLine || line.opcode == Blank) {
            if (!checkIndentation(i, text) && line.opcode == DeviceCommandLine && !checkMnemonicLike(i, text)) {
                checkDeviceCommand(i, text);
            }
        } else if (info != nullptr && info->kind == OperandKind::Target) {
            checkJump(i, *info);
        } else if (info != nullptr && info->kind == OperandKind::Operand) {
            checkOperand(i, *info);
        } else if (line.opcode == Slp) {
            checkSleep(i);
        } else if (line.opcode == Set && isDigit(text[4]) && isDigit(text[5]) && isDigit(text[6]) && isDigit(text[7])) {
            warn(i, textPosition(pieceOf(i), 7),
                 "SET reads 3 digits at most: " + shown(text) + " sets the loop counter to " +
                     std::to_string(readSetCount(line.text)));
        }
        checkCut(i);
    }

    // A fifth blank or tab of indentation becomes text: the line is blank, or a device command.
    bool checkIndentation(int32_t i, const std::string& text) {
        if (!isBlankOrTab(text[0])) return false;
        const size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos) return false;
        const int position = textPosition(pieceOf(i), static_cast<int>(start));
        const std::string indented = shown(text) + " is indented by more than 4 blanks or tabs: ";
        if (store_.lines[i].opcode == Blank) {
            warn(i, position, indented + "the line counts as blank and does nothing");
        } else {
            warn(i, position, indented + "it is sent to the board as a device command");
        }
        return true;
    }

    bool checkMnemonicLike(int32_t i, const std::string& text) {
        std::string word;
        for (size_t column = 0; column < 5 && (isAsciiLetter(text[column]) || text[column] == '@'); ++column) {
            word += text[column];
        }
        if (word.size() < 2) return false;
        std::string wordUpper;
        for (char c : word) wordUpper += upper(c);
        const std::string sent = " is sent to the board as a device command: ";
        const int position = textPosition(pieceOf(i), 0);
        for (const std::string& stem : stems_) {
            if (wordUpper.compare(0, stem.size(), stem) != 0) continue;
            if (word.compare(0, stem.size(), stem) != 0) {
                warn(i, position, shown(text) + sent + "mnemonics are upper case (" + stem + ")");
            } else {
                warn(i, textPosition(pieceOf(i), static_cast<int>(stem.size())),
                     shown(text) + sent + stem + " needs a blank after it");
            }
            return true;
        }
        if (word.size() == 3) {
            for (const std::string& stem : stems_) {
                if (isSlipOf(wordUpper, stem)) {
                    warn(i, position, shown(text) + sent + word + " is no mnemonic (" + stem + "?)");
                    return true;
                }
            }
        }
        return false;
    }

    void checkDeviceCommand(int32_t i, const std::string& text) {
        if (!sendsOutputRegister(store_.lines[i])) {
            int length = 8;
            while (length > 0 && text[static_cast<size_t>(length - 1)] == ' ') --length;
            if (length < 8) {
                warn(i, textPosition(pieceOf(i), 0),
                     "device command " + shown(text) + " has " + std::to_string(length) +
                         " of 8 characters: the board gets blanks for the rest");
            }
        }
        for (int column = 0; column < textColumns; ++column) {
            const auto byte = static_cast<unsigned char>(text[static_cast<size_t>(column)]);
            if (isCp932LeadByte(byte)) {
                ++column;  // its second byte may be 0x40 and is no '@'
                continue;
            }
            if (byte != '@' || column == 2) continue;
            const std::string where = "'@' at column " + std::to_string(column) + " of " + shown(text);
            const int position = textPosition(pieceOf(i), column);
            if (column < 8) {
                warn(i, position, where + " is sent as it is: only an '@' at column 2 sends the outputs");
            } else {
                warn(i, position, where + " is not sent: the board gets columns 0 to 7");
            }
        }
    }

    void checkJump(int32_t i, const OpCodeInfo& info) {
        const ProgramLine& line = store_.lines[i];
        const char* argument = &line.text[info.argumentColumn];
        int digits = 0;
        int32_t label = 0;
        while (digits < 3 && isDigit(argument[digits])) label = label * 10 + (argument[digits++] - '0');
        const std::string jump = shown(textOf(line));
        const std::string ends = ": the jump ends the program";
        const int position = textPosition(pieceOf(i), info.argumentColumn);
        if (digits == 0) {
            add(i, position, Severity::Error, jump + " has no label" + ends);
        } else if (label == 0) {
            add(i, position, Severity::Error, jump + " names label 0, which is no label" + ends);
        } else if (findLabel(store_, argument) == store_.lineCount) {
            add(i, position, Severity::Error,
                jump + ": no line has label " + std::to_string(label) + ends +
                    "; to end it on purpose, jump to a label alone on the last line");
        } else if (findLabel(store_, argument) == i) {
            add(i, position, Severity::Error, jump + " jumps to its own line" + ends);
        }
    }

    void checkOperand(int32_t i, const OpCodeInfo& info) {
        const ProgramLine& line = store_.lines[i];
        const std::string operand(&line.text[info.argumentColumn], 6);
        const int position = textPosition(pieceOf(i), info.argumentColumn);
        if (line.operand < 0) {
            add(i, position, Severity::Error,
                shown(textOf(line)) + ": operand " + shown(operand) +
                    " is not six upper-case hexadecimal digits: the instruction does nothing");
        } else if (line.operand == 0 && (line.opcode == Fst || line.opcode == Fmk || line.opcode == Fch)) {
            warn(i, position, shown(textOf(line)) + " does nothing: the flag instructions ignore 000000");
        }
    }

    void checkSleep(int32_t i) {
        const ProgramLine& line = store_.lines[i];
        const SleepTime sleep = readSleepTime(line.text);
        const std::string time(&line.text[4], textColumns - 4);
        const int position = textPosition(pieceOf(i), 4);
        if (!sleep.readable) {
            add(i, position, Severity::Error, "SLP time " + shown(time) + " cannot be read: the line does not sleep");
            return;
        }
        const std::string rest(&line.text[sleep.numberEnd], static_cast<size_t>(textColumns - sleep.numberEnd));
        if (rest.find_first_not_of(' ') != std::string::npos) {
            const std::string read(&line.text[4], static_cast<size_t>(sleep.numberEnd - 4));
            std::string message = "SLP reads the time " + shown(time) + " only as far as " + shown(read);
            std::string remedy;
            if (line.text[sleep.numberEnd] == ',') {
                std::string pointed = time;
                pointed[static_cast<size_t>(sleep.numberEnd - 4)] = '.';
                remedy = "; write " + shown(pointed) + " with a decimal point";
            }
            // Sleeping for part of what is written is as wrong as not sleeping: either way the line
            // does not do what it says.
            const int cut = textPosition(pieceOf(i), sleep.numberEnd);
            if (sleep.ticks == 0) {
                add(i, cut, Severity::Error, message + ": the line does not sleep" + remedy);
            } else {
                const std::string seconds = std::to_string(sleep.ticks / 10) +
                                            (sleep.ticks % 10 != 0 ? "." + std::to_string(sleep.ticks % 10) : "");
                add(i, cut, Severity::Error, message + ": the line sleeps only " + seconds + " s" + remedy);
            }
        } else if (sleep.seconds != sleep.seconds) {
            add(i, position, Severity::Error, "SLP time " + shown(time) + " is not a number: the line does not sleep");
        } else if (sleep.ticks == 2147483647) {
            warn(i, position,
                 "SLP time " + shown(time) + " is longer than the longest sleep, 214748364.7 s, which it sleeps");
        }
    }

    void checkCut(int32_t i) {
        const Piece& piece = pieces_[static_cast<size_t>(i)];
        if (piece.layout.end != TextEnd::Full || piece.split) return;  // the long line's finding says it
        size_t rest = static_cast<size_t>(piece.layout.restStart);
        while (rest < piece.bytes.size() && isBlankOrTab(piece.bytes[rest])) ++rest;
        if (rest >= piece.bytes.size() || piece.bytes[rest] == '\n' || piece.bytes[rest] == '/') return;
        size_t stop = piece.bytes.find_first_of("/\n", rest);
        if (stop == std::string::npos) stop = piece.bytes.size();
        constexpr size_t longestQuote = 24;
        std::string ignored = shown(std::string_view(piece.bytes).substr(rest, std::min(stop - rest, longestQuote)));
        if (stop - rest > longestQuote) ignored += "...";
        warn(i, static_cast<int>(rest), "text is cut at column 11: " + ignored + " is ignored");
    }

    void checkDuplicateLabels() {
        for (int32_t i = 0; i < store_.lineCount; ++i) {
            const int32_t label = store_.lines[i].label;
            if (label == 0) continue;
            for (int32_t first = 0; first < i; ++first) {
                if (store_.lines[first].label == label) {
                    warn(i, 0, "label " + std::to_string(label) + " is also on line " +
                                   std::to_string(pieceOf(first).fileLine) + ", where every jump to it goes");
                    break;
                }
            }
        }
    }

    // After an R command the output register holds the inputs, so an '@' or OR@/AN@ that follows
    // works on the inputs. A may-analysis over the jumps: which reads can still be in the register
    // when a line runs. Each read is told once, at the first line that uses it on a path.
    void checkOutputsAfterRead() {
        using Reads = std::bitset<maxProgramLines>;
        const int32_t count = store_.lineCount;
        std::vector<Reads> before(static_cast<size_t>(count));
        const auto usesRegister = [](const ProgramLine& line) {
            if (readsInputs(line)) return false;  // an R ignores what it sends after its letter
            if (line.opcode == AndOutput) return line.operand > 0;
            if (line.opcode == OrOutput) return line.operand > 0 && line.operand != 0xFFFFFF;
            return sendsOutputRegister(line);
        };
        // AN@ 000000 and OR@ FFFFFF leave a known value, as a written-out W does.
        const auto setsRegister = [](const ProgramLine& line) {
            return writesOutputs(line) || (line.opcode == AndOutput && line.operand == 0) ||
                   (line.opcode == OrOutput && line.operand == 0xFFFFFF);
        };
        for (bool changed = true; changed;) {
            changed = false;
            for (int32_t i = 0; i < count; ++i) {
                const ProgramLine& line = store_.lines[i];
                Reads after = before[static_cast<size_t>(i)];
                if (readsInputs(line)) {
                    after.reset();
                    after.set(static_cast<size_t>(i));
                } else if (setsRegister(line) || usesRegister(line)) {
                    after.reset();
                }
                for (const int32_t next : successors(i)) {
                    if (next >= count) continue;
                    Reads& into = before[static_cast<size_t>(next)];
                    if ((into | after) != into) {
                        into |= after;
                        changed = true;
                    }
                }
            }
        }
        for (int32_t i = 0; i < count; ++i) {
            const ProgramLine& line = store_.lines[i];
            const Reads& reads = before[static_cast<size_t>(i)];
            if (!usesRegister(line) || reads.none()) continue;
            std::vector<int32_t> readLines;
            for (int32_t r = 0; r < count; ++r) {
                if (reads.test(static_cast<size_t>(r))) readLines.push_back(r);
            }
            const std::string what = sendsOutputRegister(line) ? " sends the output register" : " changes the output register";
            const std::string remedy = sendsOutputRegister(line) ? "before sending it with '@'" : "before changing it";
            warn(i, textPosition(pieceOf(i), 0),
                 shown(textOf(line)) + what + ", but it holds the inputs read on " + describeLines(readLines) +
                     ", not the outputs: after a read, write the outputs in full with a W command (such as "
                     "'W0000000') " + remedy);
            for (const int32_t r : readLines) {
                findings_.back().notes.push_back(
                    noteAt(r, shown(textOf(store_.lines[r])) + " reads the inputs; its reply replaces the output register"));
            }
        }
    }

    // A burst runs instructions until a device command or a sleep; the 201st in one tick is the
    // loop error. A loop inside a burst whose way out is decided by values that stay the same on
    // every turn (no reply arrives to change the inputs) therefore ends only in that error.
    void checkEndlessLoops() {
        using Lines = std::bitset<maxProgramLines>;
        const int32_t count = store_.lineCount;
        const auto inBurst = [&](int32_t i) {
            const ProgramLine& line = store_.lines[i];
            return line.opcode != DeviceCommandLine && !(line.opcode == Slp && readSleepTime(line.text).ticks > 0);
        };
        // reach[i]: the lines that a burst can run after line i, itself included when it loops back.
        std::vector<Lines> reach(static_cast<size_t>(count));
        const auto reaches = [&](int32_t from, int32_t to) {
            return reach[static_cast<size_t>(from)].test(static_cast<size_t>(to));
        };
        for (int32_t i = 0; i < count; ++i) {
            if (!inBurst(i)) continue;
            for (const int32_t next : successors(i)) {
                if (next < count && inBurst(next)) reach[static_cast<size_t>(i)].set(static_cast<size_t>(next));
            }
        }
        for (int32_t k = 0; k < count; ++k) {
            for (int32_t i = 0; i < count; ++i) {
                if (reaches(i, k)) reach[static_cast<size_t>(i)] |= reach[static_cast<size_t>(k)];
            }
        }
        Lines told;
        for (int32_t i = 0; i < count; ++i) {
            if (told.test(static_cast<size_t>(i)) || !reaches(i, i)) continue;
            Lines loop;
            std::vector<int32_t> lines;
            for (int32_t j = 0; j < count; ++j) {
                if (reaches(i, j) && reaches(j, i)) {
                    loop.set(static_cast<size_t>(j));
                    lines.push_back(j);
                }
            }
            told |= loop;
            reportEndlessLoop(loop, lines);
        }
    }

    void reportEndlessLoop(const std::bitset<maxProgramLines>& loop, const std::vector<int32_t>& lines) {
        const int32_t count = store_.lineCount;
        const auto inLoop = [&](int32_t j) { return j < count && loop.test(static_cast<size_t>(j)); };
        bool changesCounter = false;
        bool testsCounter = false;
        bool changesFlags = false;
        bool testsFlags = false;
        bool differentComparisons = false;
        const ProgramLine* comparison = nullptr;  // the instruction that sets the condition flag
        const auto comparisonKind = [](int32_t opcode) { return opcode == OrShort ? Or : opcode; };
        std::vector<int32_t> exits;
        for (const int32_t j : lines) {
            const ProgramLine& line = store_.lines[j];
            const int32_t op = line.opcode;
            changesCounter |= op == Set || op == Dec;
            testsCounter |= op == Jnz || op == Jz || op == JzShort;
            changesFlags |= (op == Fst || op == Fmk) && line.operand > 0;
            testsFlags |= op == Fch && line.operand > 0;
            if (setsConditionFlag(line)) {
                if (comparison != nullptr && (comparisonKind(comparison->opcode) != comparisonKind(op) || comparison->operand != line.operand)) {
                    differentComparisons = true;
                }
                comparison = &line;
            }
            for (const int32_t next : successors(j)) {
                if (!inLoop(next)) {
                    exits.push_back(j);
                    break;
                }
            }
        }
        if (!exits.empty()) {
            if ((changesCounter && testsCounter) || (changesFlags && testsFlags) || differentComparisons) return;
            // Until the loop's own comparison has run, a JNG or JOK may test the flag left from
            // before the loop, and that can differ from what every later turn tests.
            if (comparison != nullptr && flagFromBeforeMayDecide(loop, exits)) return;
        }
        const std::string where = describeLines(lines);
        std::string message = exits.empty()
            ? where + " loop with no device command, no SLP and no way out: "
            : where + " loop with no device command and no SLP, so no reply can change their way out: once the "
                      "loop turns back it never leaves, and ";
        message += "the sequencer stops with the loop error at the 201st instruction in a row. Put a device command "
                   "(such as the R that reads the inputs) or an SLP inside the loop";
        const int32_t head = lines.front();
        add(lines.back(), textPosition(pieceOf(lines.back()), 0), Severity::Error, std::move(message));
        if (head > 0 && store_.lines[head].label != 0 && readsInputs(store_.lines[head - 1])) {
            findings_.back().notes.push_back(noteAt(head - 1, shown(textOf(store_.lines[head - 1])) +
                                                                  " runs once, before the loop: to repeat it on every "
                                                                  "turn, move the label " +
                                                                  std::to_string(store_.lines[head].label) +
                                                                  " to this line"));
        }
    }

    // Whether a JNG or JOK that leaves the loop can be reached from where the loop is entered
    // without passing the loop's comparison first.
    bool flagFromBeforeMayDecide(const std::bitset<maxProgramLines>& loop, const std::vector<int32_t>& exits) const {
        const int32_t count = store_.lineCount;
        std::bitset<maxProgramLines> seen;
        std::vector<int32_t> pending;
        for (int32_t from = 0; from < count; ++from) {
            if (loop.test(static_cast<size_t>(from))) continue;
            for (const int32_t next : successors(from)) {
                if (next < count && loop.test(static_cast<size_t>(next)) && !seen.test(static_cast<size_t>(next))) {
                    seen.set(static_cast<size_t>(next));
                    pending.push_back(next);
                }
            }
        }
        if (loop.test(0) && !seen.test(0)) {  // the run starts at the first line
            seen.set(0);
            pending.push_back(0);
        }
        while (!pending.empty()) {
            const int32_t j = pending.back();
            pending.pop_back();
            const ProgramLine& line = store_.lines[j];
            if ((line.opcode == Jng || line.opcode == Jok) && std::find(exits.begin(), exits.end(), j) != exits.end()) return true;
            if (setsConditionFlag(line)) continue;
            for (const int32_t next : successors(j)) {
                if (next < count && loop.test(static_cast<size_t>(next)) && !seen.test(static_cast<size_t>(next))) {
                    seen.set(static_cast<size_t>(next));
                    pending.push_back(next);
                }
            }
        }
        return false;
    }

    // A full piece without its newline continues on the next program line.
    void checkLongLines() {
        const size_t count = std::min(pieces_.size(), static_cast<size_t>(maxProgramLines));
        for (size_t start = 0; start < count;) {
            size_t last = start;
            size_t characters = pieces_[start].bytes.size();
            while (last + 1 < pieces_.size() && pieces_[last].bytes.size() == maxPieceCharacters &&
                   pieces_[last].bytes.back() != '\n') {
                ++last;
                characters += pieces_[last].bytes.size();
            }
            if (last > start) {
                for (size_t k = start; k <= last; ++k) pieces_[k].split = true;
                if (pieces_[last].bytes.back() == '\n') --characters;
                warn(static_cast<int32_t>(start), static_cast<int>(pieces_[start].bytes.size()),
                     "the line has " + std::to_string(characters) +
                         " characters; lines over 98 are read in pieces of 99, here program lines " +
                         std::to_string(shownLineNumber(static_cast<int32_t>(start))) + " to " +
                         std::to_string(shownLineNumber(static_cast<int32_t>(last))));
            }
            start = last + 1;
        }
    }

    const ProgramStore& store_;
    std::vector<Piece>& pieces_;
    const std::vector<std::string> stems_ = mnemonicStems();
    std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> checkProgram(const char* bytes, size_t size) {
    auto store = std::make_unique<ProgramStore>();
    loadProgramBytes(*store, bytes, size);

    // The same reads again, every one of them, to see what the store cannot show.
    std::vector<Piece> pieces;
    TextModeReader reader{bytes, size, 0};
    char piece[maxPieceCharacters + 1];
    size_t totalPieces = 0;
    int fileLine = 1;
    size_t lineStart = 0;
    size_t counted = 0;  // bytes before it have been looked at for line ends
    for (;; ++totalPieces) {
        const size_t start = reader.position;
        const int length = readPiece(reader, piece);
        if (length == 0) break;
        if (pieces.size() < static_cast<size_t>(maxProgramLines) + 1) {
            for (; counted < start; ++counted) {
                if (bytes[counted] == '\n') {
                    ++fileLine;
                    lineStart = counted + 1;
                }
            }
            ProgramLine scratch{};
            const LineLayout layout = parseProgramLine(piece, length, scratch);
            pieces.push_back({std::string(piece, static_cast<size_t>(length)), layout, fileLine,
                              static_cast<int>(start - lineStart) + 1});
        }
    }
    return Checker(*store, pieces).run(totalPieces);
}

std::string formatFinding(const std::string& path, const Finding& finding) {
    std::string text = path + ":" + std::to_string(finding.fileLine) + ":" + std::to_string(finding.column) +
                       (finding.severity == Severity::Error ? ": error: " : ": warning: ") + finding.message + "\n";
    for (const Note& note : finding.notes) {
        text += path + ":" + std::to_string(note.fileLine) + ":" + std::to_string(note.column) + ": note: " +
                note.message + "\n";
    }
    return text;
}

}  // namespace kt57
