#include "tools/core/listing.h"

#include "tools/core/quote.h"

namespace sg::packtool {

namespace {

// Titles may hold any byte but NUL; neither file format takes control
// characters, and a line break would end a desktop entry's value.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) out += (c < 0x20 || c == 0x7f) ? ' ' : static_cast<char>(c);
    std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// Listings show a text as a person reads it: control characters made visible.
std::string shown_in_xml(const std::string& text) { return xml_escaped(printable(text)); }

// A desktop entry's string values escape only the backslash (and the
// control characters, already gone).
std::string desktop_escaped(const std::string& text) {
    std::string out;
    for (char c : printable(text)) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string label_of(const Listing& l) {
    std::string label = printable(l.label);
    return label.empty() ? l.name : l.label;
}

}  // namespace

bool listing_name_ok(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '-' || name[0] == '.') return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

std::string listing_xml(const Listing& l) {
    std::string o;
    o += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n";
    o += "<screensaver name=\"" + shown_in_xml(l.name) + "\" _label=\"" + shown_in_xml(label_of(l)) + "\">\n\n";
    o += "  <command arg=\"-root\"/>\n\n";
    o += "  <_description>\n";
    o += "A snowglobe scene: " + shown_in_xml(label_of(l)) + ".\n";
    for (const std::string& line : l.about) {
        std::string text = shown_in_xml(line);
        if (!text.empty()) o += text + "\n";
    }
    o += "  </_description>\n";
    o += "</screensaver>\n";
    return o;
}

std::string listing_desktop(const Listing& l) {
    std::string o;
    o += "[Desktop Entry]\n";
    o += "Type=Application\n";
    o += "Name=" + desktop_escaped(label_of(l)) + "\n";
    o += "Comment=A snowglobe scene\n";
    o += "TryExec=" + l.name + "\n";
    o += "Exec=" + l.name + " -root\n";
    o += "NoDisplay=true\n";
    o += "StartupNotify=false\n";
    o += "Categories=Screensaver;\n";
    return o;
}

std::string listing_programs_entry(const std::string& name) { return "  " + name + " -root \\n\\"; }

std::string listing_instructions(const std::string& name) {
    std::string o;
    o += "XScreenSaver runs what the programs: list of ~/.xscreensaver names (merged with the\n";
    o += "system's list); put this line inside that list, or run scripts/install-user:\n";
    o += listing_programs_entry(name) + "\n";
    o += "Its settings read " + name + ".xml from /usr/share/xscreensaver/config/ only (as root).\n";
    o += "Desktop screen savers read " + name + ".desktop from applications/screensavers/ under\n";
    o += "/usr/share, /usr/local/share or ~/.local/share.\n";
    return o;
}

}  // namespace sg::packtool
