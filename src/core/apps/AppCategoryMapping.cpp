#include "core/apps/AppCategoryMapping.h"

#include "core/text/Text.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <initializer_list>

namespace parlune::AppCategoryMapping {
namespace {

// One name set with its entries prepared for the membership test.
struct NameSet {
    struct Entry {
        std::string name;
        std::string lowered;  // set only for entries long enough for the prefix rule
    };

    explicit NameSet(std::initializer_list<const char*> list) : names(list.begin(), list.end()) {
        entries.reserve(names.size());
        for (const auto& name : names) {
            entries.push_back({name, characterCount(name) >= minimumPrefixLength ? toLower(name) : std::string()});
        }
    }

    bool contains(const std::string& appName, const std::string& loweredAppName) const {
        return std::any_of(entries.begin(), entries.end(), [&](const Entry& entry) {
            return localizedCaseInsensitiveEquals(appName, entry.name) ||
                   (!entry.lowered.empty() && loweredAppName.starts_with(entry.lowered));
        });
    }

    static constexpr std::size_t minimumPrefixLength = 4;
    std::set<std::string> names;
    std::vector<Entry> entries;
};

const NameSet& work() {
    static const NameSet set{
        "Microsoft Word", "Microsoft Excel", "Microsoft PowerPoint", "Microsoft Outlook", "Microsoft OneNote",
        "Microsoft OneDrive", "Microsoft Teams", "OneDrive", "Pages", "Numbers", "Keynote", "Mail", "Calendar",
        "Reminders", "Notes", "Contacts", "Freeform", "Spark", "Airmail", "Mimestream", "Canary Mail",
        "Mailspring", "Thunderbird", "Postbox", "MailMate", "Newton Mail", "Spike", "Fantastical", "BusyCal",
        "Calendars", "Morgen", "Cron", "Amie", "Todoist", "Things", "TickTick", "OmniFocus", "GoodTask",
        "Sorted", "Any.do", "Focus", "Due", "TaskPaper", "Notion", "Obsidian", "Bear", "Craft", "Evernote",
        "Ulysses", "Logseq", "Roam Research", "Mem", "Capacities", "Supernotes", "Agenda", "GoodNotes",
        "Notability", "Noteship", "DEVONthink", "Scrivener", "iA Writer", "Typora", "UpNote", "Joplin",
        "Standard Notes", "Apple Notes", "Linear", "Asana", "Trello", "Monday", "Basecamp", "Jira",
        "Confluence", "Height", "Shortcut", "ClickUp", "Wrike", "Teamwork", "Smartsheet", "Quire", "Zoom",
        "Zoom.us", "Webex", "Cisco Webex Meetings", "Google Meet", "GoTo Meeting", "BlueJeans", "Around",
        "Loom", "Mmhmm", "Krisp", "Otter", "Figma", "Sketch", "Adobe Photoshop", "Adobe Photoshop 2024",
        "Adobe Photoshop 2025", "Adobe Illustrator", "Adobe Illustrator 2024", "Adobe Illustrator 2025",
        "Adobe InDesign", "Adobe InDesign 2024", "Adobe InDesign 2025", "Adobe XD", "Adobe Premiere Pro",
        "Adobe Premiere Pro 2024", "Adobe Premiere Pro 2025", "Adobe After Effects", "Adobe After Effects 2024",
        "Adobe After Effects 2025", "Adobe Lightroom", "Adobe Lightroom Classic", "Adobe Acrobat Reader",
        "Adobe Acrobat DC", "Adobe Acrobat Pro", "Adobe Bridge", "Adobe Audition", "Adobe Animate",
        "Adobe Dimension", "Adobe Fresco", "Adobe Media Encoder", "Affinity Designer", "Affinity Designer 2",
        "Affinity Photo", "Affinity Photo 2", "Affinity Publisher", "Affinity Publisher 2", "Canva",
        "Pixelmator Pro", "Vectornator", "Linearity Curve", "Principle", "Framer", "ProtoPie", "Origami Studio",
        "InVision Studio", "Zeplin", "Abstract", "Marvel", "Miro", "FigJam", "Mural", "Whimsical", "Lucidchart",
        "Milanote", "Dropbox", "Google Drive", "Box", "Tresorit", "pCloud", "Salesforce", "HubSpot",
        "Pipedrive", "Copper", "QuickBooks", "Xero", "FreshBooks", "Wave", "Harvest", "Toggl Track", "Toggl",
        "Clockify", "RescueTime", "Airtable", "Coda", "Rows", "DocuSign", "PandaDoc", "HelloSign", "Preview",
        "PDF Expert", "PDFpen", "Skim", "ABBYY FineReader", "Pitch", "Prezi", "Deckset", "Beautiful.ai",
        "Slidev", "Crisp", "Intercom", "Zendesk", "Freshdesk", "Help Scout", "Amplitude", "Mixpanel", "Tableau",
        "Grammarly", "Grammarly Desktop", "Hemingway Editor", "ProWritingAid", "Google Chrome", "Safari",
        "Firefox", "Microsoft Edge", "Arc", "Brave Browser", "Opera", "Vivaldi", "Orion", "SigmaOS",
        "1Password", "Bitwarden", "LastPass", "Dashlane", "NordVPN", "ExpressVPN", "Tailscale", "WireGuard",
        "Raycast", "Alfred", "Keyboard Maestro", "Hazel", "BetterTouchTool", "TextExpander", "aText",
        "Shortcuts", "Automator"
    };
    return set;
}

const NameSet& social() {
    static const NameSet set{
        "Messages", "FaceTime", "WhatsApp", "WhatsApp Messenger", "Telegram", "Telegram Desktop", "Signal",
        "Viber", "LINE", "WeChat", "KakaoTalk", "Wickr", "Wickr Me", "Wire", "Element", "Beeper", "Session",
        "Slack", "Discord", "Microsoft Teams", "Skype", "Zoom", "Zoom.us", "Twitter", "X", "Facebook",
        "Instagram", "TikTok", "Snapchat", "Reddit", "Tumblr", "Pinterest", "LinkedIn", "Mastodon", "Ivory",
        "Ice Cubes", "Mammoth", "Threads", "Bluesky", "BeReal", "Lemon8", "Hive Social", "Hinge", "Tinder",
        "Bumble", "Coffee Meets Bagel", "OkCupid", "Grindr", "HER", "Feeld", "YouTube", "Twitch", "Clubhouse",
        "Twitter Spaces", "Gmail", "Yahoo Mail", "Discourse", "Lemmy", "Quora", "Stack Exchange", "Flickr",
        "VSCO", "500px"
    };
    return set;
}

const NameSet& code() {
    static const NameSet set{
        "Xcode", "Visual Studio Code", "Cursor", "Windsurf", "VS Code", "Code", "Visual Studio",
        "IntelliJ IDEA", "IntelliJ IDEA CE", "IntelliJ IDEA Ultimate", "PyCharm", "PyCharm CE",
        "PyCharm Professional", "WebStorm", "CLion", "GoLand", "Rider", "RubyMine", "PhpStorm", "DataGrip",
        "AppCode", "Fleet", "Android Studio", "Eclipse", "NetBeans", "Sublime Text", "Atom", "Nova", "BBEdit",
        "TextMate", "CotEditor", "CodeEdit", "Zed", "Lapce", "Lite XL", "Helix", "Neovide", "VimR", "MacVim",
        "Emacs", "Aquamacs", "CodeRunner", "Playgrounds", "Swift Playgrounds", "RStudio", "Spyder",
        "Jupyter Notebook", "MATLAB", "Mathematica", "Arduino IDE", "Arduino", "PlatformIO", "Thonny", "Mu",
        "Processing", "p5.js", "Scratch", "Unity", "Unity Hub", "Unreal Engine", "Godot", "GameMaker",
        "Terminal", "iTerm", "iTerm2", "Warp", "Alacritty", "Kitty", "Hyper", "Tabby", "Wave Terminal",
        "Terminus", "Rio", "WezTerm", "Prompt", "Prompt 3", "Royal TSX", "SecureCRT", "Console",
        "GitHub Desktop", "Tower", "Sourcetree", "Fork", "GitKraken", "GitUp", "Gitfox", "Working Copy",
        "Git Cola", "SmartGit", "Sublime Merge", "GitButler", "Postman", "Insomnia", "Paw", "RapidAPI",
        "HTTPie", "Bruno", "Hoppscotch", "REST Client", "Thunder Client", "TablePlus", "Sequel Pro",
        "Sequel Ace", "MongoDB Compass", "Redis Insight", "Robo 3T", "Studio 3T", "DBeaver", "Beekeeper Studio",
        "Postico", "Postico 2", "PgAdmin", "MySQL Workbench", "Azure Data Studio", "Arctype", "PopSQL",
        "Docker", "Docker Desktop", "OrbStack", "Podman Desktop", "Rancher Desktop", "Lens", "K9s", "Portainer",
        "Vagrant", "Charles", "Proxyman", "Wireshark", "Fiddler", "Little Snitch", "Packet Peeper", "Surge",
        "Dash", "Zeal", "DevDocs", "Transmit", "Cyberduck", "FileZilla", "Forklift", "ForkLift",
        "Mountain Duck", "Panic Nova", "Coda", "Kaleidoscope", "Beyond Compare", "FileMerge", "Araxis Merge",
        "DiffMerge", "Parallels Desktop", "VMware Fusion", "UTM", "VirtualBox", "QEMU", "Instruments",
        "Activity Monitor", "Xcode Instruments", "Storybook", "Expo Go", "Simulator", "iOS Simulator",
        "Homebrew", "Cakebrew", "Regex101", "Patterns", "RegExRX", "Hex Fiend", "HexEdit", "Synalyze It!"
    };
    return set;
}

// Spaces (general category Zs) and tabs; line breaks stay.
bool isSpaceOrTab(char32_t c) { return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR; }

std::string trimSpacesAndTabs(std::string_view text) {
    const auto points = codePoints(text);
    auto first = std::find_if_not(points.begin(), points.end(), isSpaceOrTab);
    auto last = std::find_if_not(points.rbegin(), std::make_reverse_iterator(first), isSpaceOrTab).base();
    std::string result;
    for (auto it = first; it != last; ++it) result += fromCodePoint(*it);
    return result;
}

}  // namespace

const std::set<std::string>& workApps() { return work().names; }
const std::set<std::string>& socialApps() { return social().names; }
const std::set<std::string>& codeApps() { return code().names; }

std::vector<AppCategory> categories(std::string_view appName) {
    const std::string name = trimSpacesAndTabs(appName);
    const std::string lowered = toLower(name);
    std::vector<AppCategory> result;
    for (const auto& [set, category] : {std::pair{&work(), AppCategory::work}, std::pair{&social(), AppCategory::social},
                                        std::pair{&code(), AppCategory::code}}) {
        if (set->contains(name, lowered)) result.push_back(category);
    }
    return result;
}

}  // namespace parlune::AppCategoryMapping
