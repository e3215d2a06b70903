#include "tools/core/installer.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "tools/core/check.h"
#include "tools/core/container.h"
#include "tools/core/output.h"
#include "tools/core/pe.h"
#include "tools/core/quote.h"
#include "tools/core/saver_name.h"
#include "tools/core/sjis.h"
#include "tools/core/version_resource.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t MACHINE_I386 = 0x014C;
constexpr std::uint16_t MACHINE_AMD64 = 0x8664;
// Stand in for the title and file name in the WiX source: wixl writes its
// strings in Windows-1252 only, so the real ones go in after the build, in
// the code page the database is then given.
const std::string TITLE_PLACEHOLDER = "SNOWGLOBETITLEPLACEHOLDER";
const std::string NAME_PLACEHOLDER = "SNOWGLOBENAMEPLACEHOLDER.scr";

std::uint64_t fnv1a(const std::string& text, std::uint64_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// Runs a program (found on PATH) in `directory` (the current one when empty)
// and returns its exit status; its standard output and error go to *output.
int run_program(const std::vector<std::string>& argv, std::string* output, const std::string& directory) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) throw Failure(std::string("cannot start ") + argv[0] + ": " + std::strerror(errno));
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw Failure(std::string("cannot start ") + argv[0] + ": " + std::strerror(errno));
    }
    if (child == 0) {
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (!directory.empty() && ::chdir(directory.c_str()) != 0) ::_exit(126);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    output->clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) output->append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

void run_or_fail(const std::vector<std::string>& argv, std::string* output, const std::string& directory = {}) {
    const int status = run_program(argv, output, directory);
    if (status == 127)
        throw Failure(argv[0] + " was not found: the installer is made with msitools' " + argv[0] +
                      " (Debian: apt-get install wixl msitools)");
    if (status != 0) {
        // Its last line says why (glib's warnings come first).
        std::string last = *output;
        while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
        last = last.substr(last.find_last_of('\n') == std::string::npos ? 0 : last.find_last_of('\n') + 1);
        throw Failure(argv[0] + " failed (exit status " + std::to_string(status) + ")" +
                      (last.empty() ? "" : ": " + last));
    }
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A temporary directory, removed with everything in it when done.
struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "snowglobe-installer-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw Failure("cannot create a temporary directory: " + std::string(std::strerror(errno)));
        path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

// The title for the installer's texts: one line, without control characters.
std::string one_line(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

InstallerPlan plan_for(const Bytes& saver, const std::string& path) {
    if (!pe::looks_like_pe(saver)) throw Failure(path + ": not a Windows saver (.scr)");
    const pe::Image image = pe::parse(saver, path);
    InstallerPlan plan;
    if (image.machine == MACHINE_I386) {
        plan.arch = "x86";
        plan.systemFolder = "SystemFolder";  // SysWOW64 on 64-bit Windows
    } else if (image.machine == MACHINE_AMD64) {
        plan.arch = "x64";
        plan.systemFolder = "System64Folder";
    } else {
        throw Failure(path + ": a saver for neither i686 nor x86_64");
    }
    Source source = source_from_bytes(saver, path);
    Checked checked = check_package(source.package);
    if (!checked.ok()) throw Failure(path + ": its scene package would be refused (see snowglobe-pack validate)");

    if (auto name = saver_name(saver, path); name && !name->empty()) plan.title = utf16_to_utf8(*name);
    if (plan.title.empty()) plan.title = title_utf8(checked.read.scene.title, checked.read.textCodePage);
    if (plan.title.empty()) plan.title = fs::path(path).stem().string();
    plan.title = one_line(plan.title);
    plan.fileName = saver_file_stem(plan.title) + ".scr";

    // The database's code page: the scene's own when it holds the texts.
    if (utf8_to_code_page(plan.title, checked.read.textCodePage) &&
        utf8_to_code_page(plan.fileName, checked.read.textCodePage)) {
        plan.codePage = checked.read.textCodePage;
    } else if (auto cp = code_page_holding(plan.title); cp && utf8_to_code_page(plan.fileName, *cp)) {
        plan.codePage = *cp;
    } else {
        throw Failure(path + ": the title \"" + plan.title + "\" fits no Windows code page an installer can use");
    }

    const std::string key = "snowglobe saver\n" + plan.arch + "\n" + plan.title;
    char shortName[16];
    std::snprintf(shortName, sizeof shortName, "SG%06X.SCR", static_cast<unsigned>(fnv1a(key, 0xCBF29CE484222325ULL) & 0xFFFFFF));
    plan.shortName = shortName;
    plan.upgradeCode = guid_of(key + "\nupgrade");
    plan.fileComponent = guid_of(key + "\nfile");
    plan.activeComponent = guid_of(key + "\nactive");
    return plan;
}

}  // namespace

std::string guid_of(const std::string& text) {
    const std::uint64_t a = fnv1a(text, 0xCBF29CE484222325ULL);
    const std::uint64_t b = fnv1a(text, a ^ 0x9E3779B97F4A7C15ULL);
    std::uint8_t bytes[16];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(a >> (8 * i));
        bytes[8 + i] = static_cast<std::uint8_t>(b >> (8 * i));
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x50);  // a name-based GUID
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    char out[40];
    std::snprintf(out, sizeof out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return out;
}

std::string installer_wxs(const InstallerPlan& plan, const std::string& version, bool setActive,
                          const std::string& source) {
    const std::string win64 = plan.arch == "x64" ? " Win64=\"yes\"" : "";
    std::string x;
    x += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    x += "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n";
    x += "  <Product Id=\"*\" Name=\"" + TITLE_PLACEHOLDER + "\" Language=\"0\" Version=\"" + xml_escaped(version) +
         "\" Manufacturer=\"snowglobe\" UpgradeCode=\"" + plan.upgradeCode + "\">\n";
    x += "    <Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"perMachine\""
         " Description=\"snowglobe screen saver\" Comments=\"A screen saver made with snowglobe\"/>\n";
    x += "    <MajorUpgrade"
         " DowngradeErrorMessage=\"A newer version of this screen saver is already installed.\"/>\n";
    x += "    <Media Id=\"1\" Cabinet=\"saver.cab\" EmbedCab=\"yes\"/>\n";
    x += "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
    x += "      <Directory Id=\"" + plan.systemFolder + "\">\n";
    x += "        <Component Id=\"Saver\" Guid=\"" + plan.fileComponent + "\"" + win64 + ">\n";
    x += "          <File Id=\"SaverFile\" Name=\"" + NAME_PLACEHOLDER + "\" Source=\"" + xml_escaped(source) + "\" KeyPath=\"yes\"/>\n";
    x += "        </Component>\n";
    if (setActive) {
        // The installing user's screen saver; removed again with the product.
        x += "        <Component Id=\"Active\" Guid=\"" + plan.activeComponent + "\"" + win64 + ">\n";
        x += "          <RegistryValue Root=\"HKCU\" Key=\"Control Panel\\Desktop\" Name=\"SCRNSAVE.EXE\""
             " Type=\"string\" Value=\"[#SaverFile]\" KeyPath=\"yes\"/>\n";
        x += "          <RegistryValue Root=\"HKCU\" Key=\"Control Panel\\Desktop\" Name=\"ScreenSaveActive\""
             " Type=\"string\" Value=\"1\"/>\n";
        x += "        </Component>\n";
    }
    x += "      </Directory>\n";
    x += "    </Directory>\n";
    x += "    <Feature Id=\"Saver\" Level=\"1\">\n";
    x += "      <ComponentRef Id=\"Saver\"/>\n";
    if (setActive) x += "      <ComponentRef Id=\"Active\"/>\n";
    x += "    </Feature>\n";
    x += "  </Product>\n";
    x += "</Wix>\n";
    return x;
}

int run_installer(const std::vector<std::string>& args) {
    std::string saverPath, out;
    bool setActive = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) throw Usage(a + " needs a value");
            out = args[++i];
        } else if (a == "--set-active") {
            setActive = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw Usage("unknown option " + a);
        } else if (saverPath.empty()) {
            saverPath = a;
        } else {
            throw Usage("give one saver");
        }
    }
    if (saverPath.empty()) throw Usage("give the saver (.scr) to install");

    const Bytes saver = read_file(saverPath);
    const InstallerPlan plan = plan_for(saver, saverPath);
    if (out.empty()) out = (fs::path(saverPath).parent_path() / (saver_file_stem(plan.title) + ".msi")).string();
    refuse_output_is_input(out, {saverPath});

    TempDir temp;
    write_file_atomic(temp.path / "saver.scr", saver);
    // wixl takes Source paths relative to where it runs.
    write_file_atomic(temp.path / "saver.wxs", installer_wxs(plan, SNOWGLOBE_VERSION, setActive, "saver.scr"));
    const std::string msi = (temp.path / "saver.msi").string();
    std::string said;
    run_or_fail({"wixl", "-a", plan.arch, "-o", msi, "saver.wxs"}, &said, temp.path.string());
    // The database's code page first, then the texts written in it.
    write_file_atomic(temp.path / "_ForceCodepage.idt", "\r\n\r\n" + std::to_string(plan.codePage) + "\t_ForceCodepage\r\n");
    run_or_fail({"msibuild", msi, "-i", (temp.path / "_ForceCodepage.idt").string()}, &said);
    std::string properties, files, upgrades;
    run_or_fail({"msiinfo", "export", msi, "Property"}, &properties);
    run_or_fail({"msiinfo", "export", msi, "File"}, &files);
    run_or_fail({"msiinfo", "export", msi, "Upgrade"}, &upgrades);
    // A saver bound again (same title, same version) replaces the one
    // installed: the upgrade search includes its own version.
    const std::string upgradeRow = "\t1\t\tWIX_UPGRADE_DETECTED";
    if (properties.find(TITLE_PLACEHOLDER) == std::string::npos || files.find(NAME_PLACEHOLDER) == std::string::npos ||
        upgrades.find(upgradeRow) == std::string::npos)
        throw Failure("wixl wrote an installer in a form this tool does not know (msitools other than 0.101?)");
    write_file_atomic(temp.path / "Property.idt", replaced(properties, TITLE_PLACEHOLDER, plan.title));
    write_file_atomic(temp.path / "File.idt", replaced(files, NAME_PLACEHOLDER, plan.shortName + "|" + plan.fileName));
    write_file_atomic(temp.path / "Upgrade.idt", replaced(upgrades, upgradeRow, "\t513\t\tWIX_UPGRADE_DETECTED"));
    run_or_fail({"msibuild", msi, "-i", (temp.path / "Property.idt").string(), "-i", (temp.path / "File.idt").string(),
                 "-i", (temp.path / "Upgrade.idt").string()},
                &said);

    write_output(out, read_file(msi));
    (out == "-" ? std::cerr : std::cout) << "wrote " << out << ": installs \"" << plan.fileName << "\" ("
                                          << plan.arch << ") into the "
                                          << (plan.arch == "x64" ? "64-bit system folder (System32)"
                                                                 : "32-bit system folder (SysWOW64 on 64-bit Windows)")
                                          << " as \"" << plan.title << "\""
                                          << (setActive ? ", and makes it the installing user's screen saver" : "")
                                          << "\n";
    return 0;
}

}  // namespace sg::packtool
