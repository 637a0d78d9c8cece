#include "data/SystemReason.h"

#include "data/Error.h"

#include <cerrno>
#include <new>
#include <utility>

namespace data {

namespace {

// Worded as the C library's Croatian catalogue words them, so the program speaks as the rest of a
// Croatian desktop does; a few clumsy or misspelt entries there are reworded, and a folder is a
// "mapa", as the desktops' file managers and the program's other texts call it, not a "direktorij".
// Numbers missing on some systems are guarded.
constexpr std::pair<int, const char *> reasons[] = {
    {ENOENT, "Nema takve datoteke ili mape"},
    {EACCES, "Pristup je odbijen"},
    {EPERM, "Operacija nije dopuštena"},
    {EROFS, "Datotečni sustav je samo za čitanje"},
    {ENOSPC, "Nema više prostora na uređaju"},
#ifdef EDQUOT
    {EDQUOT, "Prekoračena je dodijeljena kvota prostora na disku"},
#endif
    {EIO, "Ulazno/izlazna greška"},
    {EISDIR, "To je mapa"},
    {ENOTDIR, "Nije mapa"},
    {EFBIG, "Datoteka je prevelika"},
    {ENAMETOOLONG, "Ime datoteke je predugačko"},
    {EMFILE, "Previše otvorenih datoteka"},
    {ENFILE, "Previše otvorenih datoteka u sustavu"},
    {ENOMEM, "Nema dovoljno memorije"},
#ifdef ESTALE
    {ESTALE, "Zastarjela oznaka mrežne datoteke"},
#endif
    {EBUSY, "Uređaj ili resurs je zauzet"},
    {ETXTBSY, "Izvršna datoteka je zauzeta"},
    {EEXIST, "Datoteka već postoji"},
    {ENOTEMPTY, "Mapa nije prazna"},
    {EXDEV, "Premještanje na drugi uređaj nije moguće"},
    {ELOOP, "Previše razina simboličkih poveznica"},
    {EAGAIN, "Resurs je privremeno nedostupan"},
    {EWOULDBLOCK, "Resurs je privremeno nedostupan"},
    {EINTR, "Sustavski poziv je prekinut"},
    {ENXIO, "Nema takvog uređaja ili adrese"},
    {ENODEV, "Nema takvog uređaja"},
#ifdef ENOMEDIUM
    {ENOMEDIUM, "Nije pronađen medij"},
#endif
    {EINVAL, "Nevaljani argument"},
    {ENOTSUP, "Operacija nije podržana"},
    {EOPNOTSUPP, "Operacija nije podržana"},
    {ENOSYS, "Funkcija nije implementirana"},
    {EOVERFLOW, "Vrijednost je prevelika za definiranu vrstu podataka"},
    {ENOLCK, "Nema dostupnih zaključavanja datoteka"},
#ifdef EUCLEAN
    {EUCLEAN, "Datotečni sustav je oštećen i treba ga provjeriti"},
#endif
    // Network shares.
    {ETIMEDOUT, "Isteklo je vrijeme čekanja na odgovor"},
#ifdef EHOSTDOWN
    {EHOSTDOWN, "Računalo nije uključeno"},
#endif
    {EHOSTUNREACH, "Nema puta do računala"},
    {ENETUNREACH, "Mreža nije dostupna"},
    {ENETDOWN, "Mreža nije aktivna"},
    {ECONNREFUSED, "Veza je odbijena"},
    {ECONNRESET, "Druga strana je prekinula vezu"},
    {ECONNABORTED, "Veza je prekinuta"},
    {ENOTCONN, "Veza nije uspostavljena"},
#ifdef EREMOTEIO
    {EREMOTEIO, "Ulazno/izlazna greška na udaljenom računalu"},
#endif
#ifdef ENOKEY
    {ENOKEY, "Potreban ključ nije dostupan"},
#endif
#ifdef EKEYEXPIRED
    {EKEYEXPIRED, "Ključ je istekao"},
#endif
};

} // namespace

std::string systemReason(int errorNumber)
{
    // Where two symbols share a number, both entries say the same.
    for (const auto &[number, reason] : reasons) {
        if (number == errorNumber)
            return reason;
    }
    return "sustavska greška " + std::to_string(errorNumber) + ": " +
           std::generic_category().message(errorNumber);
}

std::string systemReason(const std::error_code &error)
{
    // Windows reports its own numbers; those that have an errno equivalent map to it here.
    const std::error_condition condition = error.default_error_condition();
    if (condition.category() == std::generic_category())
        return systemReason(condition.value());
    return "sustavska greška " + std::to_string(error.value()) + ": " + error.message();
}

std::string afterColon(std::string reason)
{
    // Every wording of ours begins with an ASCII letter; a system's own text is left alone.
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z')
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    return reason;
}

std::string exceptionMessage(const std::exception &e)
{
    if (dynamic_cast<const Error *>(&e))
        return e.what();
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return systemReason(ENOMEM);
    if (const auto *system = dynamic_cast<const std::system_error *>(&e))
        return systemReason(system->code());
    return std::string("Neočekivana greška: ") + e.what();
}

} // namespace data
