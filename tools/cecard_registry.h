// The simulated card's entries in the machine root's registry: an active
// driver under HKEY_LOCAL_MACHINE\Drivers\Active\<nn> (Name, PnpId, Key, Hnd,
// Sckt and, while a process serves the card, CardPid) and the port map value
// HKEY_LOCAL_MACHINE\Platform\Ports\COMn naming the device.
#pragma once

#include <string>
#include <vector>

namespace cecard {

struct Card {
    std::string subkey;  // nn under Drivers\Active
    int com = 0;
    std::string pnp_id;
    std::string path;    // the device the port map names
    unsigned pid = 0;    // the serving process, 0 when none
};

// The series' id for a given product: maker-product-CRC, as the handheld forms it.
std::string default_pnp_id();

// Empty when the id can be registered; else what is wrong with it.
std::string pnp_id_problem(const std::string &id);

// Cards inserted with this command (active drivers that carry a PnpId).
std::vector<Card> list_cards();

// Drops the entries of cards whose serving process has died.
void remove_stale_cards();

// Inserts a card: com 0 picks the lowest free number from 1 to 9. Returns
// the card, or throws std::runtime_error naming what stood in the way.
Card insert_card(int com, const std::string &pnp_id, const std::string &path, unsigned pid);

// Removes the card on COMn (its active driver and its port map value);
// false when there is none.
bool remove_card(int com);

}  // namespace cecard
