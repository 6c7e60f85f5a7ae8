#include "records/language.h"

#include <cstdio>
#include <cstring>

#include "platform/serial_port.h"
#include "records/settings.h"

// Windows-1252 bytes throughout; a text is at most 63 bytes, so each initialiser also proves at
// compile time that its terminator fits the slot. Slots without a text stay zero.
// clang-format off
const char kLanguageTable[kSlotCount][kSlotSize] = {
    // English, slots 0 to 99
    /*   0 */ "About",
    /*   1 */ "Yes ",
    /*   2 */ "No  ",
    /*   3 */ "Off",
    /*   4 */ "On",
    /*   5 */ "Communication",
    /*   6 */ "Limit",
    /*   7 */ "Setpoint",
    /*   8 */ "Hysteresis",
    /*   9 */ "Timers",
    /*  10 */ "Timer Range",
    /*  11 */ "Analogue output",
    /*  12 */ "Iout",
    /*  13 */ "Polarity",
    /*  14 */ "Filter",
    /*  15 */ "Zoom",
    /*  16 */ "Output",
    /*  17 */ "Control functions",
    /*  18 */ "Auto Shut Down",
    /*  19 */ "None",
    /*  20 */ "Limit 1",
    /*  21 */ "Limit 2",
    /*  22 */ "dP/dt",
    /*  23 */ "Setup",
    /*  24 */ "Korvex Parameters",
    /*  25 */ "Max Peak [%]:",
    /*  26 */ "Min Peak [%]:",
    /*  27 */ "Measmnt. [%]:",
    /*  28 */ "dU/dt",
    /*  29 */ "dP/dt Peak [%]:",
    /*  30 */ "Date",
    /*  31 */ "Peak values",
    /*  32 */ "Parameters",
    /*  33 */ "Error!",
    /*  34 */ "Korvex Configuration tool",
    /*  35 */ "Screen Dump",
    /*  36 */ "",
    /*  37 */ "",
    /*  38 */ "",
    /*  39 */ "",
    /*  40 */ "",
    /*  41 */ "",
    /*  42 */ "",
    /*  43 */ "",
    /*  44 */ "",
    /*  45 */ "",
    /*  46 */ "",
    /*  47 */ "",
    /*  48 */ "",
    /*  49 */ "",
    /*  50 */ "Auto ShutDn: ",
    /*  51 */ "Autoreset  : ",
    /*  52 */ "Filter     : ",
    /*  53 */ "Hysteresis : ",
    /*  54 */ "Iout       : ",
    /*  55 */ "Limit      : ",
    /*  56 */ "P1Max      : ",
    /*  57 */ "P1Min      : ",
    /*  58 */ "Polarity   : ",
    /*  59 */ "Setpoint   : ",
    /*  60 */ "dUdt       : ",
    /*  61 */ "Tr         : ",
    /*  62 */ "Ts         : ",
    /*  63 */ "",
    /*  64 */ "",
    /*  65 */ "",
    /*  66 */ "",
    /*  67 */ "",
    /*  68 */ "",
    /*  69 */ "",
    /*  70 */ "Unit not connected. Parameters can not be send.\nContinue?",
    /*  71 */ "No connection to unit.",
    /*  72 */ "",
    /*  73 */ "",
    /*  74 */ "",
    /*  75 */ "",
    /*  76 */ "",
    /*  77 */ "",
    /*  78 */ "",
    /*  79 */ "",
    /*  80 */ "Error creating an Event!",
    /*  81 */ "Parameters not transferred correctly!",
    /*  82 */ "Timeout on confirmation of parameters.\nPlease check!",
    /*  83 */ "Error opening configuration file",
    /*  84 */ "Not an Korvex-file,\nreading of parameters aborted!",
    /*  85 */ "Comm Port occupied or non-existing",
    /*  86 */ "Unable to open printer",
    /*  87 */ "Parameters could not be read.",
    /*  88 */ "Parameters could not be saved.",
    /*  89 */ "Error printing",
    /*  90 */ "Property sheet could not be created",
    /*  91 */ "Monitor resolution too small\nContinue anyway?",
    /*  92 */ "Korvex not found on any COM-port!",
    /*  93 */ "Error allocating memory for bitmap",
    /*  94 */ "Error retrieving BMP-color format",
    /*  95 */ "Error retrieving color table information",
    /*  96 */ "Error closing file...",
    /*  97 */ "Error creating the BMP-file",
    /*  98 */ "Error Writing file to disc",
    /*  99 */ "",
    // German, slots 100 to 199
    /* 100 */ "\xDC" "ber",
    /* 101 */ "Ja  ",
    /* 102 */ "Nein",
    /* 103 */ "Aus",
    /* 104 */ "Ein",
    /* 105 */ "Kommunikation",
    /* 106 */ "Grenze",
    /* 107 */ "Grenzwert",
    /* 108 */ "Hysterese",
    /* 109 */ "Timer",
    /* 110 */ "Zeitbereich",
    /* 111 */ "Analogausgang",
    /* 112 */ "Iout",
    /* 113 */ "Polarit\xE4t",
    /* 114 */ "Filter",
    /* 115 */ "Lupe",
    /* 116 */ "Ausg\xE4nge",
    /* 117 */ "Steuerungsfunktionen",
    /* 118 */ "Abschaltautomatik",
    /* 119 */ "Aus",
    /* 120 */ "Grenze 1",
    /* 121 */ "Grenze 2",
    /* 122 */ "dP/dt",
    /* 123 */ "Setup",
    /* 124 */ "Korvex Parameter",
    /* 125 */ "Max Spitze [%]:",
    /* 126 */ "Min Spitze [%]:",
    /* 127 */ "Istwert [%]:",
    /* 128 */ "dU/dt",
    /* 129 */ "dP/dt Spitze [%]:",
    /* 130 */ "Datum",
    /* 131 */ "Spitzenwerte",
    /* 132 */ "Parameter",
    /* 133 */ "Fehler!",
    /* 134 */ "Korvex Konfiguration",
    /* 135 */ "Bildschirm speichern",
    /* 136 */ "",
    /* 137 */ "",
    /* 138 */ "",
    /* 139 */ "",
    /* 140 */ "",
    /* 141 */ "",
    /* 142 */ "",
    /* 143 */ "",
    /* 144 */ "",
    /* 145 */ "",
    /* 146 */ "",
    /* 147 */ "",
    /* 148 */ "",
    /* 149 */ "",
    /* 150 */ "Auto ShutDn: ",
    /* 151 */ "Autoreset  : ",
    /* 152 */ "Filter     : ",
    /* 153 */ "Hysterese  : ",
    /* 154 */ "Iout       : ",
    /* 155 */ "Grenze     : ",
    /* 156 */ "P1Max      : ",
    /* 157 */ "P1Min      : ",
    /* 158 */ "Polarit\xE4t  : ",
    /* 159 */ "Grenzwert  : ",
    /* 160 */ "dUdt       : ",
    /* 161 */ "Tr         : ",
    /* 162 */ "Ts         : ",
    /* 163 */ "",
    /* 164 */ "",
    /* 165 */ "",
    /* 166 */ "",
    /* 167 */ "",
    /* 168 */ "",
    /* 169 */ "",
    /* 170 */ "Kein Modul angeschlossen. \xDC" "bertragung unm\xF6glich.\nIgnorieren?",
    /* 171 */ "Keine Verbindung zum Modul.",
    /* 172 */ "",
    /* 173 */ "",
    /* 174 */ "",
    /* 175 */ "",
    /* 176 */ "",
    /* 177 */ "",
    /* 178 */ "",
    /* 179 */ "",
    /* 180 */ "Einrichten des Vorgangs nicht m\xF6glich!",
    /* 181 */ "Parameter nicht korrekt \xFC" "bertragen!",
    /* 182 */ "Timeout bei Best\xE4tigung der Parametern.\nBitte kontrollieren",
    /* 183 */ "Konfigurationseinstellungen k\xF6nnen nicht gelesen werden!",
    /* 184 */ "Nicht eine Korvex-Datei,\neinlesen von Parametern unterbrochen!",
    /* 185 */ "Schnittstelle besetzt oder nicht vorhanden",
    /* 186 */ "Drucker nicht gefunden",
    /* 187 */ "Parameter k\xF6nnen nicht gelesen werden.",
    /* 188 */ "Parameter k\xF6nnen nicht gesichert werden.",
    /* 189 */ "Fehler beim Drucken",
    /* 190 */ "Werte-Tabelle kann nicht erstellt werden",
    /* 191 */ "Monitor-Aufl\xF6sung zu klein\nWeiter?",
    /* 192 */ "Korvex nicht gefunden",
    /* 193 */ "Fehler bei Speicherreservierung",
    /* 194 */ "Fehler bei der Wiederherstellung des BMP-Farbformates",
    /* 195 */ "Fehler bei der Wiederherstellung der Farbinformation",
    /* 196 */ "Fehler beim Schlie\xDF" "en der Datei...",
    /* 197 */ "Fehler beim Einrichten der BMP-Datei",
    /* 198 */ "Fehler beim Speichern",
    /* 199 */ "",
    // Danish, slots 200 to 299
    /* 200 */ "Omkring",
    /* 201 */ "Ja  ",
    /* 202 */ "Nej ",
    /* 203 */ "Off",
    /* 204 */ "On",
    /* 205 */ "Kommunikation",
    /* 206 */ "Gr\xE6nse",
    /* 207 */ "Gr\xE6nsev\xE6rdi",
    /* 208 */ "Hysterese",
    /* 209 */ "Timere",
    /* 210 */ "Timeromr\xE5" "de",
    /* 211 */ "Analogudgang",
    /* 212 */ "Iout",
    /* 213 */ "Polaritet",
    /* 214 */ "Filter",
    /* 215 */ "Zoom",
    /* 216 */ "Udgange",
    /* 217 */ "Kontrolfunktioner",
    /* 218 */ "Auto Shut Down",
    /* 219 */ "Intet",
    /* 220 */ "Gr\xE6nse 1",
    /* 221 */ "Gr\xE6nse 2",
    /* 222 */ "dP/dt",
    /* 223 */ "Setup",
    /* 224 */ "Korvex Parametre",
    /* 225 */ "Max Peak [%]:",
    /* 226 */ "Min Peak [%]:",
    /* 227 */ "M\xE5ling [%]:",
    /* 228 */ "dU/dt",
    /* 229 */ "dP/dt Peak [%]:",
    /* 230 */ "Dato",
    /* 231 */ "Peakv\xE6rdier",
    /* 232 */ "Parametre",
    /* 233 */ "Fejl!",
    /* 234 */ "Korvex Konfigurationsv\xE6rkt\xF8j",
    /* 235 */ "Sk\xE6rmdump",
    /* 236 */ "",
    /* 237 */ "",
    /* 238 */ "",
    /* 239 */ "",
    /* 240 */ "",
    /* 241 */ "",
    /* 242 */ "",
    /* 243 */ "",
    /* 244 */ "",
    /* 245 */ "",
    /* 246 */ "",
    /* 247 */ "",
    /* 248 */ "",
    /* 249 */ "",
    /* 250 */ "Auto ShutDn: ",
    /* 251 */ "Autoreset  : ",
    /* 252 */ "Filter     : ",
    /* 253 */ "Hysterese  : ",
    /* 254 */ "Iout       : ",
    /* 255 */ "Gr\xE6nse     : ",
    /* 256 */ "P1Max      : ",
    /* 257 */ "P1Min      : ",
    /* 258 */ "Polaritet  : ",
    /* 259 */ "Gr\xE6nsev\xE6rdi: ",
    /* 260 */ "dUdt       : ",
    /* 261 */ "Tr         : ",
    /* 262 */ "Ts         : ",
    /* 263 */ "",
    /* 264 */ "",
    /* 265 */ "",
    /* 266 */ "",
    /* 267 */ "",
    /* 268 */ "",
    /* 269 */ "",
    /* 270 */ "Enhed ikke forbundet. Parametre kan ikke sendes.\nForts\xE6t?",
    /* 271 */ "Ingen forbindelse til apparat.",
    /* 272 */ "",
    /* 273 */ "",
    /* 274 */ "",
    /* 275 */ "",
    /* 276 */ "",
    /* 277 */ "",
    /* 278 */ "",
    /* 279 */ "",
    /* 280 */ "Oprettelse af Event fejlet!",
    /* 281 */ "Parametre ikke overf\xF8rt korrekt!",
    /* 282 */ "Timeout p\xE5 bekr\xE6" "ftelse af parametre.\nVenligst kontroller!",
    /* 283 */ "Fejlede under \xE5" "bning af konfigurationsfil",
    /* 284 */ "Ikke en Korvex-fil,\nindl\xE6sning af parametre afbrudt!",
    /* 285 */ "CommPort optaget eller ikke-eksisterende",
    /* 286 */ "Printer ikke fundet",
    /* 287 */ "Parametre kunne ikke indl\xE6ses",
    /* 288 */ "Parametre kunne ikke gemmes",
    /* 289 */ "Fejl under udskrivning",
    /* 290 */ "Property sheet kunne ikke oprettes",
    /* 291 */ "Sk\xE6rmopl\xF8sning for lille\nForts\xE6t alligevel?",
    /* 292 */ "Korvex ikke fundet p\xE5 nogen COM-port!",
    /* 293 */ "Fejl under reservering af hukommelse for bitmap",
    /* 294 */ "Fejl ved hentning af BMP-color format",
    /* 295 */ "Fejl ved hentning af color table information",
    /* 296 */ "Fejl ved lukning af fil...",
    /* 297 */ "Fejl under oprettelse af BMP-fil",
    /* 298 */ "Fejl under skrivning af fil til disk",
    /* 299 */ "",
};
// clang-format on

namespace {

// The second line of the port message after a refusal for lack of permission, per language
// (English, German, Danish): joining the device's group helps, or even the group may not use it.
// Windows-1252, each with the group's name for %s.
constexpr const char* kPortAccessTexts[3][2] = {
    {"No permission: add your user to the group %s, then log in again.",
     "No permission, not even for the group %s: ask the administrator."},
    {"Keine Berechtigung: Benutzer zur Gruppe %s hinzuf\xFCgen, dann neu anmelden.",
     "Keine Berechtigung, auch nicht f\xFCr die Gruppe %s: Administrator fragen."},
    {"Ingen adgang: tilf\xF8j brugeren til gruppen %s, og log ind igen.",
     "Ingen adgang, heller ikke for gruppen %s: sp\xF8rg administratoren."},
};

constexpr int kSlotPortNotOpen = 85;
constexpr int kCaptionCommunication = 5;

// A slot base or slot number that is out of range (it cannot come from the settings file, which
// is checked on reading) must still never index past the table: it reads as English or empty.
const char* SlotText(int slot) {
    if (slot < 0 || slot >= 100) {
        return "";
    }
    int base = settings.languageBase.load(std::memory_order_relaxed);
    if (base != 0 && base != 100 && base != 200) {
        base = 0;
    }
    return kLanguageTable[base + slot];
}

}  // namespace

void CopySlotText(char* destination, int slot) {
    const char* text = SlotText(slot);
    int length = 0;
    while (length < kSlotSize - 1 && text[length] != 0) {
        ++length;
    }
    std::memcpy(destination, text, static_cast<size_t>(length));
    destination[length] = 0;
}

void BuildSlotMessage(char out[80], int textSlot, int32_t code) {
    char text[kSlotSize];
    CopySlotText(text, textSlot);
    if (code != 0) {
        // ": -2147483648" is the longest suffix, 13 characters; 63 + 13 fit the 80 bytes.
        std::snprintf(out, 80, "%s: %ld", text, static_cast<long>(code));
    } else {
        std::snprintf(out, 80, "%s", text);
    }
}

platform::MessageIcon SlotMessageIcon(int textSlot) {
    return textSlot < 80 ? platform::MessageIcon::Information : platform::MessageIcon::Error;
}

void ShowSlotMessage(platform::WindowHandle owner, int textSlot, int captionSlot, int32_t code) {
    char text[80];
    char caption[kSlotSize];
    BuildSlotMessage(text, textSlot, code);
    CopySlotText(caption, captionSlot);
    platform::ShowMessageBox(owner, text, caption, SlotMessageIcon(textSlot),
                             platform::MessageButtons::Ok);
}

void ShowPortNotOpenMessage(platform::WindowHandle owner) {
    const platform::SerialAccessDenial denial = platform::LastSerialAccessDenial();
    if (!denial.denied || denial.group[0] == 0) {
        ShowSlotMessage(owner, kSlotPortNotOpen, kCaptionCommunication, 0);
        return;
    }
    char first[kSlotSize];
    char caption[kSlotSize];
    CopySlotText(first, kSlotPortNotOpen);
    CopySlotText(caption, kCaptionCommunication);
    const int language = settings.languageBase.load(std::memory_order_relaxed) / 100;
    const char* hint = kPortAccessTexts[language <= 2 ? language : 0][denial.groupMayUse ? 0 : 1];
    char second[160];
    std::snprintf(second, sizeof second, hint, denial.group);
    char text[kSlotSize + sizeof second];
    std::snprintf(text, sizeof text, "%s\n%s", first, second);
    platform::ShowMessageBox(owner, text, caption, SlotMessageIcon(kSlotPortNotOpen),
                             platform::MessageButtons::Ok);
}
