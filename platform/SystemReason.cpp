#include "platform/SystemReason.h"

#include "platform/Error.h"

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

#ifdef _WIN32
// Windows' own numbers for what a clerk meets, worded as the errno ones are. A file that another
// program holds (an antivirus scanner, a backup, a spreadsheet) says so.
constexpr std::pair<int, const char *> windowsReasons[] = {
    {2, "Nema takve datoteke ili mape"},                            // ERROR_FILE_NOT_FOUND
    {3, "Nema takve datoteke ili mape"},                            // ERROR_PATH_NOT_FOUND
    {5, "Pristup je odbijen"},                                      // ERROR_ACCESS_DENIED
    {8, "Nema dovoljno memorije"},                                  // ERROR_NOT_ENOUGH_MEMORY
    {14, "Nema dovoljno memorije"},                                 // ERROR_OUTOFMEMORY
    {15, "Disk nije pronađen"},                                     // ERROR_INVALID_DRIVE
    {19, "Medij je zaštićen od pisanja"},                           // ERROR_WRITE_PROTECT
    {21, "Uređaj nije spreman"},                                    // ERROR_NOT_READY
    {32, "Datoteku trenutačno koristi drugi program"},              // ERROR_SHARING_VIOLATION
    {33, "Dio datoteke zaključao je drugi program"},                // ERROR_LOCK_VIOLATION
    {39, "Nema više prostora na disku"},                            // ERROR_HANDLE_DISK_FULL
    {53, "Mrežna putanja nije pronađena"},                          // ERROR_BAD_NETPATH
    {59, "Neočekivana mrežna greška"},                              // ERROR_UNEXP_NET_ERR
    {64, "Mrežno ime više nije dostupno"},                          // ERROR_NETNAME_DELETED
    {67, "Mrežno ime nije pronađeno"},                              // ERROR_BAD_NET_NAME
    {80, "Datoteka već postoji"},                                   // ERROR_FILE_EXISTS
    {112, "Nema više prostora na disku"},                           // ERROR_DISK_FULL
    {123, "Ime datoteke, mape ili diska nije ispravno"},            // ERROR_INVALID_NAME
    {145, "Mapa nije prazna"},                                      // ERROR_DIR_NOT_EMPTY
    {183, "Datoteka već postoji"},                                  // ERROR_ALREADY_EXISTS
    {206, "Ime datoteke je predugačko"},                            // ERROR_FILENAME_EXCED_RANGE
    {267, "Nije mapa"},                                             // ERROR_DIRECTORY
    {1224, "Datoteku trenutačno koristi drugi program"},            // ERROR_USER_MAPPED_FILE
    {1392, "Datoteka ili mapa je oštećena i ne može se pročitati"}, // ERROR_FILE_CORRUPT
};
#endif

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
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        for (const auto &[number, reason] : windowsReasons) {
            if (number == error.value())
                return reason;
        }
    }
#endif
    // Other systems' numbers that have an errno equivalent map to it here.
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
