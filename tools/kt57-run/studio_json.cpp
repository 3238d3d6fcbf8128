#include "tools/kt57-run/studio_json.h"

#include <cstdio>

namespace kt57 {

std::string jsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
}

std::string momentJson(const RehearsalMoment& moment) {
    std::string json = "{\"at\":" + std::to_string(moment.at) + ",\"screen\":" + jsonString(moment.screen) +
                       ",\"state\":" + jsonString(moment.state) + ",\"cells\":[";
    for (size_t i = 0; i < moment.cells.size(); ++i) {
        const ScreenCell& cell = moment.cells[i];
        if (i > 0) json += ',';
        json += "{\"y\":" + std::to_string(cell.y) + ",\"column\":" + std::to_string(cell.column) +
                ",\"width\":" + std::to_string(cell.width) + ",\"red\":" + (cell.red ? "true" : "false") +
                ",\"text\":" + jsonString(cell.text) + "}";
    }
    return json + "]}";
}

}  // namespace kt57
