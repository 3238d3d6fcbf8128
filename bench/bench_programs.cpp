#include "bench/bench_programs.h"

#include "tests/support/scratch_files.h"

namespace kt57::bench {

void writeProgram(const std::string& directory, const std::string& program) {
    support::writeFile(directory + "/KT57Data.txt", program);
    support::writeFile(directory + "/KT57Mode.txt", "AD\nVB000001\n");
}

std::string worstCaseTickProgram() {
    // None of these jumps or stops, so the loop runs straight through all 256 lines and every
    // executed line moves the listing's markers.
    static const char* const body[] = {"NOP", "AND 000000", "FST 000001", "FCH 000001", "OR@ 000001", "DEC"};
    std::string program = "001 SET 500\n";
    for (int line = 1; line < 255; ++line) {
        program += body[line % 6];
        program += '\n';
    }
    program += "JMP 001\n";  // line 256 closes the loop: the burst never ends on its own
    return program;
}

std::string steadyRunningProgram() {
    return "001 W0000001\n"   // a command and its reply each pass
           "    SET 003\n"
           "002 DEC\n"
           "    OR@ 000010\n"
           "    W0@\n"         // the output value substituted
           "    R0000000\n"
           "    AND 000000\n"
           "    JNG 003\n"
           "    SLP 0.05\n"    // passed over, still releases the board
           "003 JNZ 002\n"
           "    AN@ 00000F\n"
           "    SLP 0.3\n"     // a real sleep: three 100 ms ticks of countdown text
           "    FST 000100\n"
           "    FCH 000100\n"
           "    JOK 001\n";
}

std::string heaviestRunningProgram() {
    // Bit 0 of the outputs flips every pass, so every tick's command changes a pin; the body keeps
    // the burst just under the loop limit of 200 lines.
    std::string program =
        "010 FCH 000001\n"
        "    JOK 020\n"
        "    FST 000001\n"
        "    OR@ 000001\n"
        "    JMP 030\n"
        "020 FMK FFFFFE\n"
        "    AN@ FFFFFE\n";
    static const char* const body[] = {"NOP", "AND 000001", "OR  000002", "FCH 000002", "NOP"};
    program += "030 NOP\n";
    for (int line = 1; line < 190; ++line) {
        program += "    ";
        program += body[line % 5];
        program += '\n';
    }
    program += "    W0@\n";
    program += "    JMP 010\n";
    return program;
}

}  // namespace kt57::bench
