#include "seed.h"

#include "../common/wire.h"
#include "hostprocess.h"
#include "images.h"
#include "phone.h"
#include "seedfiles.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace phonesim {

namespace fs = std::filesystem;

namespace {

constexpr const char *frameworkRes = "/usr/share/android-framework-res/framework-res.apk";

struct AppSpec {
    std::string package;
    std::string label;
    int versionCode;
    std::string versionName;
    std::vector<std::string> permissions;
    Color color;
    char letter;
    // Where each old profile keeps it; the modern one keeps everything in /data/app.
    PackageManager::Location legacy;
    PackageManager::Location rooted;
};

using Loc = PackageManager::Location;

const std::vector<AppSpec> &apps()
{
    // A table reads best one row a line.
    // clang-format off
    static const std::vector<AppSpec> all = {
        {"com.example.notes", "Notes", 12, "1.2", {"android.permission.WRITE_EXTERNAL_STORAGE"}, {240, 180, 40},
         'N', Loc::Internal, Loc::ExtPartition},
        {"com.example.weather", "Weather Now", 201, "2.0.1",
         {"android.permission.INTERNET", "android.permission.ACCESS_FINE_LOCATION"}, {70, 160, 230}, 'W',
         Loc::Internal, Loc::ExtPartition},
        {"org.example.chess", "Chess Club", 9, "0.9", {"android.permission.INTERNET"}, {120, 120, 130}, 'C',
         Loc::SdCard, Loc::Internal},
        {"net.example.flashlight", "Latarka Świetlik", 3, "1.0.3", {"android.permission.CAMERA"}, {230, 80, 60},
         'L', Loc::Internal, Loc::Internal},
        {"com.example.bank", "Bank Secure", 310, "3.1",
         {"android.permission.INTERNET", "android.permission.READ_PHONE_STATE"}, {40, 120, 80}, 'B',
         Loc::ForwardLocked, Loc::ForwardLocked},
        {"com.example.spacegame", "Space Game", 15, "1.5", {"android.permission.VIBRATE"}, {150, 90, 200}, 'S',
         Loc::Internal, Loc::ExtPartitionLocked},
    };
    // clang-format on
    return all;
}

std::string xmlEscape(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "\\'";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

bool writeHostFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    return bool(out);
}

// Writes an application's manifest, strings and icon; the aapt command that packs them, without "-F".
std::vector<std::string> buildApkSources(const std::string &dir, const AppSpec &app);

struct ApkExtras {
    std::string split;     // a split APK of the package ("config.en"): no resources of its own
    std::string assetFile; // a stored (uncompressed) asset of this many bytes...
    size_t assetSize = 0;
    bool dex = true;
};

// Writes the sources of an APK and returns the aapt command that packs them into <workDir>/<name>.apk.
std::vector<std::string> prepareApk(const std::string &workDir, const std::string &name, const AppSpec &app,
                                    const ApkExtras &extras)
{
    std::string dir = workDir + "/" + name;
    fs::create_directories(dir);
    std::string apk = dir + ".apk";
    if (!extras.split.empty()) {
        writeHostFile(dir + "/AndroidManifest.xml",
                      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\"\n"
                      "    package=\"" +
                          app.package + "\" split=\"" + extras.split + "\" android:versionCode=\"" +
                          std::to_string(app.versionCode) +
                          "\">\n    <application android:hasCode=\"false\"/>\n"
                          "</manifest>\n");
        return {"aapt", "package", "-f", "-M", dir + "/AndroidManifest.xml", "-I", frameworkRes, "-F", apk};
    }
    std::vector<std::string> argv = buildApkSources(dir, app);
    argv.push_back("-F");
    argv.push_back(apk);
    if (extras.assetSize > 0) {
        fs::create_directories(dir + "/assets");
        // Varied bytes that do not compress, stored as they are (-0), as media in real APKs is.
        std::string bytes(extras.assetSize, '\0');
        uint64_t x = 0x9E3779B97F4A7C15ULL;
        for (size_t i = 0; i < bytes.size(); ++i) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            bytes[i] = char(x);
        }
        writeHostFile(dir + "/assets/" + extras.assetFile, bytes);
        std::string ext = extras.assetFile.substr(extras.assetFile.rfind('.') + 1);
        argv.insert(argv.begin() + 3, {"-0", ext, "-A", dir + "/assets"});
    }
    return argv;
}

std::vector<std::string> buildApkSources(const std::string &dir, const AppSpec &app)
{
    fs::create_directories(dir + "/res/values");
    fs::create_directories(dir + "/res/drawable");
    std::string manifest = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                           "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\"\n"
                           "    package=\"" +
                           app.package + "\" android:versionCode=\"" + std::to_string(app.versionCode) +
                           "\" android:versionName=\"" + app.versionName +
                           "\">\n    <uses-sdk android:minSdkVersion=\"4\" android:targetSdkVersion=\"8\"/>\n";
    for (const auto &p : app.permissions)
        manifest += "    <uses-permission android:name=\"" + p + "\"/>\n";
    manifest += "    <application android:label=\"@string/app_name\" android:icon=\"@drawable/icon\">\n"
                "        <activity android:name=\".Main\" android:label=\"@string/app_name\">\n"
                "            <intent-filter>\n"
                "                <action android:name=\"android.intent.action.MAIN\"/>\n"
                "                <category android:name=\"android.intent.category.LAUNCHER\"/>\n"
                "            </intent-filter>\n"
                "        </activity>\n"
                "    </application>\n</manifest>\n";
    writeHostFile(dir + "/AndroidManifest.xml", manifest);
    writeHostFile(dir + "/res/values/strings.xml",
                  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<resources>\n    <string name=\"app_name\">" +
                      xmlEscape(app.label) + "</string>\n</resources>\n");
    writeHostFile(dir + "/res/drawable/icon.png", encodePng(drawIcon(48, app.color, app.letter)));
    return {"aapt", "package", "-f", "-M", dir + "/AndroidManifest.xml", "-S", dir + "/res", "-I", frameworkRes};
}

// Builds a real APK with aapt against the framework resources: manifest, label, version, icon, permissions.
std::string buildApk(const std::string &workDir, const AppSpec &app, std::string &error, const ApkExtras &extras = {},
                     const std::string &fileName = {})
{
    std::string name = fileName.empty() ? app.package : fileName;
    std::string dir = workDir + "/" + name;
    std::string apk = dir + ".apk";
    std::string out;
    if (runHostProgram(prepareApk(workDir, name, app, extras), out) != 0) {
        error = "aapt package failed for " + app.package + ": " + out;
        return {};
    }
    if (!extras.dex)
        return apk;
    // A dex header, so the archive has the members an application has.
    std::string dex = "dex\n035";
    dex.resize(112, '\0');
    writeHostFile(dir + "/classes.dex", dex);
    runHostProgram({"aapt", "add", apk, "classes.dex"}, out, dir);
    return apk;
}

class SeedWriter {
public:
    SeedWriter(const Phone &phone)
        : m_sandbox(phone.sandbox()), m_modern(phone.profile().isModern()),
          m_base(m_modern ? "/storage/emulated/0" : "/mnt/sdcard")
    {
    }

    // Dates of a phone in use: pictures from a holiday, files from the months before.
    void file(const std::string &relative, const std::string &content, int daysAgo)
    {
        std::string path = m_base + "/" + relative;
        dirFor(path);
        if (m_sandbox.exists(path))
            return;
        m_sandbox.writeFile(path, content, 0664, owner(), aid::sdcardRw);
        stamp(path, daysAgo);
    }

    void dir(const std::string &relative) { dirFor(m_base + "/" + relative + "/x"); }

    void stamp(const std::string &phonePath, int daysAgo) const
    {
        time_t t = std::time(nullptr) - time_t(daysAgo) * 86400 - (daysAgo * 3607) % 86400;
        struct timespec times[2] = {{t, 0}, {t, 0}};
        utimensat(AT_FDCWD, m_sandbox.hostPath(phonePath).c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

private:
    uid_t owner() const { return m_modern ? aid::root : aid::system; }

    void dirFor(const std::string &path)
    {
        std::string made;
        size_t pos = m_base.size();
        while ((pos = path.find('/', pos + 1)) != std::string::npos) {
            made = path.substr(0, pos);
            if (!m_sandbox.exists(made))
                m_sandbox.makeDir(made, 0775, owner(), aid::sdcardRw);
        }
    }

    const Sandbox &m_sandbox;
    bool m_modern;
    std::string m_base;
};

void seedSdCard(const Phone &phone, const std::string &calculatorApk)
{
    SeedWriter w(phone);
    w.file("DCIM/Camera/IMG_20100612_142233.jpg", encodeJpeg(drawLandscape(640, 480, 0), 85), 400);
    w.file("DCIM/Camera/IMG_20100704_091502.jpg", encodeJpeg(drawLandscape(640, 480, 1), 85), 378);
    w.file("DCIM/Camera/IMG_20101224_183010.jpg", encodeJpeg(drawLandscape(480, 640, 2), 85), 205);
    w.file("DCIM/Camera/IMG_20110105_120000.jpg", encodeJpeg(drawLandscape(640, 480, 3), 85), 10);
    w.file("DCIM/.thumbnails/1276352553000.jpg", encodeJpeg(drawLandscape(160, 120, 0), 70), 400);
    w.file("Pictures/Wallpapers/Mountains.png", encodePng(drawLandscape(320, 240, 3)), 120);
    w.file("Pictures/Screenshots/Screenshot_2011-02-03-10-08-00.png", encodePng(drawHomeScreen(240, 400)), 3);
    w.file("Music/The Examples/First Album/01 - Opening Theme.mp3", silentMp3("Opening Theme", "The Examples", 40),
           300);
    w.file("Music/The Examples/First Album/02 - Rain on Glass.mp3", silentMp3("Rain on Glass", "The Examples", 60),
           300);
    w.file("Music/Złota Płyta/Piosenka o Łodzi.mp3", silentMp3("Piosenka o Łodzi", "Zespół", 30), 150);
    w.file("Ringtones/Beep.wav", waveTone(880), 500);
    w.file("Notifications/Ding.wav", waveTone(1320), 500);

    w.file("Download/contacts.db",
           sqliteDatabase({{"Anna Kowalska", "+48 600 100 200"},
                           {"Bob Example", "+1 555 0100"},
                           {"Zoë Ångström", "+46 70 123 45 67"},
                           {"O'Brien; Pat", "+353 1 555 0199"}}),
           30);
    w.file("Download/photos.zip",
           zipArchive({{"readme.txt", "Holiday pictures, June 2010.\n"},
                       {"photos/lake.jpg", encodeJpeg(drawLandscape(320, 240, 1), 80)},
                       {"photos/sunset.jpg", encodeJpeg(drawLandscape(320, 240, 2), 80)}}),
           60);
    w.file("Download/manual.txt", "Quick start\n===========\n\n1. Charge the phone.\n2. Switch it on.\n", 90);
    if (!calculatorApk.empty()) {
        std::ifstream in(calculatorApk, std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        w.file("Download/Calculator.apk", content, 7);
    }
    w.file("Documents/notes.txt", "Buy milk\nCall Anna\nBackup the phone\n", 2);
    w.file("Documents/budget.csv", "month;income;spent\n2010-11;2500;2100\n2010-12;2500;2900\n", 40);
    w.file("Documents/My Folder/report (final).txt", "Final report, version 3.\n", 15);
    w.file("Android/data/com.example.notes/files/cache.txt", "cached\n", 1);

    for (int i = 1; i <= 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Logs/log_%04d.txt", i);
        w.file(name, "entry " + std::to_string(i) + "\n", 300 - i);
    }

    // Names that break naive quoting: blanks, quotes, shell characters, non-ASCII letters, a leading "-".
    for (const char *name :
         {"a b.txt", "double\"quote.txt", "single'quote.txt", "dollar$HOME.txt", "semi;colon.txt", "back\\slash.txt",
          "back`tick`.txt", "-leading-dash.txt", "amp & pipe |.txt", "star*question?.txt", "Zażółć gęślą jaźń.txt",
          "Łódź ünïcödé.txt", "日本語.txt", "trailing space .txt"}) {
        w.file(std::string("Odd names/") + name, std::string("content of ") + name + "\n", 5);
    }
    w.file("Odd names/-dash dir/inside.txt", "inside\n", 5);
    w.file("Odd names/dir with blanks/inside $x;y.txt", "inside\n", 5);
    if (!phone.profile().isModern()) {
        w.dir("LOST.DIR");
        w.dir(".android_secure");
    }
}

void seedAppData(Phone &phone, const AppSpec &app)
{
    const Sandbox &sb = phone.sandbox();
    std::string dir = "/data/data/" + app.package;
    struct stat st;
    if (stat(sb.hostPath(dir).c_str(), &st) < 0)
        return;
    sb.writeFile(dir + "/shared_prefs/" + app.package + "_preferences.xml",
                 "<?xml version='1.0' encoding='utf-8' standalone='yes' ?>\n<map>\n"
                 "    <boolean name=\"first_run\" value=\"false\" />\n</map>\n",
                 0660, st.st_uid, st.st_gid);
    sb.writeFile(dir + "/databases/data.db", sqliteDatabase({{"sample", "1"}}), 0660, st.st_uid, st.st_gid);
}

// Runs the commands a few at a time; false if any fails.
bool runParallel(const std::vector<std::vector<std::string>> &commands, int width)
{
    size_t next = 0;
    int running = 0;
    bool ok = true;
    while (next < commands.size() || running > 0) {
        while (running < width && next < commands.size()) {
            const auto &cmd = commands[next++];
            pid_t pid = fork();
            if (pid == 0) {
                int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                std::vector<char *> argv;
                for (const auto &a : cmd)
                    argv.push_back(const_cast<char *>(a.c_str()));
                argv.push_back(nullptr);
                execvp(argv[0], argv.data());
                _exit(127);
            }
            if (pid < 0)
                return false;
            ++running;
        }
        int status = 0;
        if (wait(&status) < 0)
            break;
        --running;
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return ok;
}

// What a current phone carries besides the user's applications: system packages (uids below 10000), one
// application delivered in split APKs, and one large application with a 20 MB stored asset.
bool seedModernExtras(Phone &phone, const std::string &work, std::string &error)
{
    PackageManager &pm = phone.packages();
    struct SystemApp {
        AppSpec spec;
        bool privileged;
        const char *dir;
        uid_t uid;
    };
    // clang-format off
    const std::vector<SystemApp> system = {
        {{"com.android.settings", "Settings", 31, "12", {}, {90, 110, 130}, 'S', Loc::Internal, Loc::Internal}, true, "Settings", 1000},
        {{"com.android.shell", "Shell", 31, "12", {}, {60, 60, 60}, 'S', Loc::Internal, Loc::Internal}, true, "Shell", 2000},
        {{"com.android.bluetooth", "Bluetooth", 31, "12", {}, {40, 90, 200}, 'B', Loc::Internal, Loc::Internal}, false, "Bluetooth", 1002},
    };
    // clang-format on
    for (const auto &s : system) {
        if (phone.sandbox().exists(std::string(s.privileged ? "/system/priv-app/" : "/system/app/") + s.dir))
            continue;
        std::string apk = buildApk(work, s.spec, error);
        if (apk.empty() || !pm.placeSystem(apk, s.spec.package, s.privileged, s.dir, s.uid))
            return false;
    }
    AppSpec maps{"com.example.maps", "Maps Lite", 4100,          "4.1",        {"android.permission.INTERNET"},
                 {60, 170, 110},     'M',         Loc::Internal, Loc::Internal};
    if (pm.installedApks(maps.package).empty()) {
        std::string base = buildApk(work, maps, error);
        ApkExtras abi;
        abi.split = "config.arm64_v8a";
        std::string abiApk = buildApk(work, maps, error, abi, "maps-abi");
        ApkExtras lang;
        lang.split = "config.en";
        std::string langApk = buildApk(work, maps, error, lang, "maps-en");
        if (base.empty() || abiApk.empty() || langApk.empty())
            return false;
        // The ABI split carries the native library, as real ones do.
        fs::create_directories(work + "/maps-abi-lib/lib/arm64-v8a");
        std::string elf = "\x7f"
                          "ELF";
        elf.resize(8192, '\x01');
        writeHostFile(work + "/maps-abi-lib/lib/arm64-v8a/libmaps.so", elf);
        std::string out;
        runHostProgram({"aapt", "add", abiApk, "lib/arm64-v8a/libmaps.so"}, out, work + "/maps-abi-lib");
        if (pm.placeParts(base, {{abiApk, abi.split}, {langApk, lang.split}}, maps.package).empty()) {
            error = "cannot place " + maps.package;
            return false;
        }
    }
    AppSpec big{"com.example.videoeditor",
                "Video Editor",
                5020,
                "5.2",
                {"android.permission.READ_EXTERNAL_STORAGE"},
                {200, 60, 90},
                'V',
                Loc::Internal,
                Loc::Internal};
    if (pm.installedApks(big.package).empty()) {
        ApkExtras extras;
        extras.assetFile = "clips.bin";
        extras.assetSize = 21 * 1024 * 1024;
        std::string apk = buildApk(work, big, error, extras);
        if (apk.empty() || pm.place(apk, big.package, Loc::Internal).empty()) {
            error = error.empty() ? "cannot place " + big.package : error;
            return false;
        }
    }
    return true;
}

} // namespace

bool seedPhone(Phone &phone, std::string &error)
{
    char workTemplate[] = "/tmp/phonesim-seed-XXXXXX";
    if (!mkdtemp(workTemplate)) {
        error = "cannot create a temporary folder";
        return false;
    }
    std::string work = workTemplate;
    const Profile &profile = phone.profile();
    bool ok = true;
    for (const auto &app : apps()) {
        if (!phone.packages().installedApks(app.package).empty())
            continue;
        std::string apk = buildApk(work, app, error);
        if (apk.empty()) {
            ok = false;
            break;
        }
        Loc location = profile.kind == ProfileKind::Legacy   ? app.legacy
                       : profile.kind == ProfileKind::Rooted ? app.rooted
                                                             : Loc::Internal;
        if (phone.packages().place(apk, app.package, location).empty()) {
            error = "cannot place " + app.package;
            ok = false;
            break;
        }
        seedAppData(phone, app);
    }
    if (ok && profile.isModern())
        ok = seedModernExtras(phone, work, error);
    std::string calculator;
    if (ok) {
        AppSpec calc{
            "com.example.calculator", "Calculator", 4, "1.0.4", {}, {90, 190, 90}, 'C', Loc::Internal, Loc::Internal};
        calculator = buildApk(work, calc, error);
        seedSdCard(phone, calculator);
        writeFramebuffer(phone, true);
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return ok;
}

bool seedApps(Phone &phone, int count, std::string &error)
{
    char workTemplate[] = "/tmp/phonesim-apps-XXXXXX";
    if (!mkdtemp(workTemplate)) {
        error = "cannot create a temporary folder";
        return false;
    }
    std::string work = workTemplate;
    std::vector<AppSpec> specs;
    std::vector<std::vector<std::string>> commands;
    for (int i = 1; i <= count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%03d", i);
        AppSpec app{std::string("org.example.app") + number,
                    std::string("Sample App ") + number,
                    100 + i,
                    "1." + std::to_string(i),
                    {},
                    {uint8_t(37 * i % 200 + 40), uint8_t(91 * i % 200 + 40), uint8_t(53 * i % 200 + 40)},
                    char('A' + i % 26),
                    Loc::Internal,
                    Loc::Internal};
        if (!phone.packages().installedApks(app.package).empty())
            continue;
        // Real packages carry code and data beside their manifest and icon: 192 to 448 KiB here.
        ApkExtras extras;
        extras.assetFile = "data.bin";
        extras.assetSize = size_t(192 + 64 * (i % 5)) * 1024;
        commands.push_back(prepareApk(work, app.package, app, extras));
        specs.push_back(app);
    }
    // aapt spends its time loading the framework resources: several at once make 300 take seconds.
    bool ok = runParallel(commands, 6);
    if (!ok)
        error = "aapt package failed for an extra application";
    for (size_t i = 0; ok && i < specs.size(); ++i) {
        if (phone.packages().place(work + "/" + specs[i].package + ".apk", specs[i].package, Loc::Internal).empty()) {
            error = "cannot place " + specs[i].package;
            ok = false;
        }
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return ok;
}

void writeFramebuffer(const Phone &phone, bool overwrite)
{
    const Profile &p = phone.profile();
    if (p.screenWidth > 0 && (overwrite || !phone.sandbox().exists(screenFile))) {
        std::string raw;
        putU32(raw, uint32_t(p.screenWidth));
        putU32(raw, uint32_t(p.screenHeight));
        putU32(raw, 1); // RGBA_8888
        putU32(raw, 1); // sRGB
        raw += framebufferBytes(drawHomeScreen(p.screenWidth, p.screenHeight), 4);
        // Opaque: the fourth byte is alpha here, not unused.
        for (size_t i = 16 + 3; i < raw.size(); i += 4)
            raw[i] = char(0xff);
        phone.sandbox().writeFile(screenFile, raw, 0644, aid::root, aid::root);
    }
    if (p.fbWidth == 0)
        return;
    // Double-buffered as the phones were: reading fb0 gives both frames, sysfs tells the layout and which
    // frame is on show. The kernel's files, world-readable; stride only on kernels from 2.6.29 on, as here.
    if (overwrite || !phone.sandbox().exists("/dev/graphics/fb0")) {
        const std::string frame = framebufferBytes(drawHomeScreen(p.fbWidth, p.fbHeight), p.fbBytesPerPixel);
        phone.sandbox().writeFile("/dev/graphics/fb0", frame + frame, 0660, aid::root, aid::graphics);
    }
    const std::string fb = "/sys/class/graphics/fb0";
    if (!overwrite && phone.sandbox().exists(fb + "/pan"))
        return;
    for (const char *dir : {"/sys", "/sys/class", "/sys/class/graphics", "/sys/class/graphics/fb0"})
        phone.sandbox().makeDir(dir, 0755, aid::root, aid::root);
    const std::string w = std::to_string(p.fbWidth), h = std::to_string(p.fbHeight);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"virtual_size", w + "," + std::to_string(2 * p.fbHeight) + "\n"},
        {"bits_per_pixel", std::to_string(8 * p.fbBytesPerPixel) + "\n"},
        {"stride", std::to_string(p.fbWidth * p.fbBytesPerPixel) + "\n"},
        {"modes", "U:" + w + "x" + h + "p-60\n"},
        {"pan", "0," + std::to_string(p.fbShownBuffer * p.fbHeight) + "\n"},
    };
    for (const auto &[name, value] : files)
        phone.sandbox().writeFile(fb + "/" + name, value, 0644, aid::root, aid::root);
}

} // namespace phonesim
