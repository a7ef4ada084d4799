#include "cecard_registry.h"

#include "platform.h"
#include "core/codepage.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace cecard {
namespace {

const char16_t kActive[] = u"Drivers\\Active";
const char16_t kPorts[] = u"Platform\\Ports";

std::u16string wide(const std::string &s) { return ce::from_utf8(s); }

struct Key {
    HKEY h = nullptr;
    Key(HKEY parent, const std::u16string &path, bool create) {
        LONG rc = create ? RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr)
                         : RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &h);
        if (rc != ERROR_SUCCESS) h = nullptr;
    }
    ~Key() {
        if (h) RegCloseKey(h);
    }
    explicit operator bool() const { return h != nullptr; }

    std::string text(const char16_t *name) const {
        WCHAR buf[512];
        DWORD type = 0, size = sizeof buf - sizeof(WCHAR);
        if (!h || RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE *>(buf), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return "";
        buf[size / sizeof(WCHAR)] = 0;
        return ce::to_utf8(std::u16string(buf));
    }
    DWORD number(const char16_t *name) const {
        DWORD v = 0, type = 0, size = sizeof v;
        if (!h || RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE *>(&v), &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return 0;
        return v;
    }
    void set(const char16_t *name, const std::string &value) const {
        std::u16string w = wide(value);
        if (RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(w.c_str()),
                           static_cast<DWORD>((w.size() + 1) * sizeof(char16_t))) != ERROR_SUCCESS)
            throw std::runtime_error("cannot write registry value " + ce::to_utf8(name));
    }
    void set(const char16_t *name, DWORD value) const {
        if (RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot write registry value " + ce::to_utf8(name));
    }
};

std::vector<std::string> active_subkeys() {
    std::vector<std::string> names;
    Key active(HKEY_LOCAL_MACHINE, kActive, true);
    for (DWORD i = 0; active; ++i) {
        WCHAR name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(active.h, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(ce::to_utf8(std::u16string(name, chars)));
    }
    return names;
}

// The number in "COMn:"; 0 when the name is not of that form.
int com_of(const std::string &name) {
    if (name.size() < 5 || name.compare(0, 3, "COM") != 0 || name.back() != ':') return 0;
    int n = 0;
    for (size_t i = 3; i + 1 < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + (name[i] - '0');
        if (n > 255) return 0;
    }
    return n;
}

std::string com_value(int com) { return "COM" + std::to_string(com); }

uint16_t crc16(const std::string &bytes) {
    uint16_t crc = 0xFFFF;  // CRC-16/CCITT, deterministic; not claimed to equal a handheld's
    for (unsigned char b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

bool process_alive(unsigned pid) { return pid != 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

}  // namespace

std::string default_pnp_id() {
    const std::string stem = "KESTROW_DEVICE_LABS-TRV-PA01";
    char crc[8];
    snprintf(crc, sizeof crc, "%04X", crc16(stem));
    return stem + "-" + crc;
}

std::string pnp_id_problem(const std::string &id) {
    if (id.empty()) return "the id is empty";
    if (id.size() > 200) return "the id is longer than 200 characters";
    for (unsigned char c : id)
        if (c < 0x21 || c > 0x7E || c == '\\')
            return "the id may hold only printable ASCII without spaces or backslashes";
    return "";
}

std::vector<Card> list_cards() {
    std::vector<Card> cards;
    for (const std::string &sub : active_subkeys()) {
        Key key(HKEY_LOCAL_MACHINE, std::u16string(kActive) + u"\\" + wide(sub), false);
        Card c;
        c.subkey = sub;
        c.pnp_id = key.text(u"PnpId");
        c.com = com_of(key.text(u"Name"));
        c.pid = key.number(u"CardPid");
        if (c.pnp_id.empty() || c.com == 0) continue;
        Key ports(HKEY_LOCAL_MACHINE, kPorts, true);
        c.path = ports.text(wide(com_value(c.com)).c_str());
        cards.push_back(c);
    }
    return cards;
}

void remove_stale_cards() {
    for (const Card &c : list_cards())
        if (c.pid != 0 && !process_alive(c.pid)) remove_card(c.com);
}

Card insert_card(int com, const std::string &pnp_id, const std::string &path, unsigned pid) {
    if (std::string problem = pnp_id_problem(pnp_id); !problem.empty())
        throw std::runtime_error("PnP id '" + pnp_id + "': " + problem);
    remove_stale_cards();
    // Which COM numbers and subkeys are taken.
    std::vector<bool> com_taken(256, false);
    std::vector<bool> sub_taken(100, false);
    Key ports(HKEY_LOCAL_MACHINE, kPorts, true);
    for (const std::string &sub : active_subkeys()) {
        if (sub.size() == 2 && isdigit(static_cast<unsigned char>(sub[0])) &&
            isdigit(static_cast<unsigned char>(sub[1])))
            sub_taken[static_cast<size_t>(std::stoi(sub))] = true;
        Key key(HKEY_LOCAL_MACHINE, std::u16string(kActive) + u"\\" + wide(sub), false);
        if (int n = com_of(key.text(u"Name"))) com_taken[static_cast<size_t>(n)] = true;
    }
    for (int n = 1; n < 256; ++n)
        if (!ports.text(wide(com_value(n)).c_str()).empty()) com_taken[static_cast<size_t>(n)] = true;
    if (com == 0) {
        for (int n = 1; n <= 9 && com == 0; ++n)
            if (!com_taken[static_cast<size_t>(n)]) com = n;
        if (com == 0) throw std::runtime_error("COM1 to COM9 are all in use; choose one with --com");
    } else if (com < 1 || com > 255) {
        throw std::runtime_error("COM" + std::to_string(com) + ": the number must be 1 to 255");
    } else if (com_taken[static_cast<size_t>(com)]) {
        throw std::runtime_error("COM" + std::to_string(com) + " is already in use (an active driver or the port map " +
                                 "names it); remove that first or choose another --com");
    }
    int sub = 1;
    while (sub < 100 && sub_taken[static_cast<size_t>(sub)]) ++sub;
    if (sub == 100) throw std::runtime_error("Drivers\\Active has no free two-digit subkey");
    char subname[12];
    snprintf(subname, sizeof subname, "%02d", sub);

    Card card{subname, com, pnp_id, path, pid};
    // The port map first, so the port opens as soon as FindComPort sees the card.
    ports.set(wide(com_value(com)).c_str(), path);
    Key key(HKEY_LOCAL_MACHINE, std::u16string(kActive) + u"\\" + wide(card.subkey), true);
    if (!key) throw std::runtime_error("cannot create HKEY_LOCAL_MACHINE\\Drivers\\Active\\" + card.subkey);
    key.set(u"Key", "Drivers\\PCMCIA\\" + pnp_id);
    key.set(u"PnpId", pnp_id);
    key.set(u"Hnd", static_cast<DWORD>(0x00C10000u + static_cast<DWORD>(sub) * 0x100u));
    key.set(u"Sckt", static_cast<DWORD>(0x30000u));
    if (pid) key.set(u"CardPid", static_cast<DWORD>(pid));
    key.set(u"Name", com_value(com) + ":");  // last: a scanner sees the entry complete
    return card;
}

bool remove_card(int com) {
    bool found = false;
    for (const Card &c : list_cards()) {
        if (c.com != com) continue;
        found = true;
        Key active(HKEY_LOCAL_MACHINE, kActive, true);
        RegDeleteKeyW(active.h, wide(c.subkey).c_str());
    }
    if (found) {
        Key ports(HKEY_LOCAL_MACHINE, kPorts, true);
        RegDeleteValueW(ports.h, wide(com_value(com)).c_str());
    }
    return found;
}

}  // namespace cecard
