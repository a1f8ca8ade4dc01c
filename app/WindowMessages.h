#pragma once

// Every text the window shows of its own: message boxes, menus, dialog texts
// and its caption. Narrow texts are the Windows-1252 bytes of what is written
// here (the ANSI code page of Spanish Windows), converted while compiling;
// wide ones, for the Unicode controls, are written as they show. The library's
// messages (files, tables, exports) are written where they are raised.

#include "framework/AnsiText.h"
#include "framework/CodePage.h"

#include <string>

// The main window (MainDialog).
inline constexpr auto kOpenTypes = Ansi("DBase files (*.dbf)|*.dbf||");
inline constexpr auto kFileNotFound = AnsiFormat<const char*>("No se encuentra el archivo %s.");
// Follows, on a line of its own, why the memo file cannot be read.
inline constexpr auto kMemosShowBlocks = Ansi("Los campos memo muestran el número de su bloque.");
inline constexpr auto kCaption = AnsiFormat<const char*, unsigned>("%s - %u registros");
inline constexpr auto kUnknownCpg = AnsiFormat<const char*>(
    "El archivo %s no nombra una página de códigos conocida; la tabla se muestra con sus bytes tal cual.");
inline constexpr auto kUnsupportedCodePage = AnsiFormat<const char*, unsigned>(
    "La tabla %s está en la página de códigos %u, que este sistema no tiene; se muestra con sus bytes tal cual.");
inline constexpr auto kNoLongNames = AnsiFormat<const char*, const char*>(
    "Tabla %s: %s; se muestran los nombres que guarda la tabla.");
inline constexpr auto kCodePageMissing = AnsiFormat<unsigned>(
    "Este sistema no tiene la página de códigos %u; la tabla se sigue mostrando como antes.");

// Exporting. The save dialog's types, in the order MainDialog numbers them.
inline constexpr auto kSaveTypes = Ansi("Archivo de texto (*.txt)|*.txt|"
                                        "Libro de Excel (*.xlsx)|*.xlsx|"
                                        "JSON Lines (*.jsonl)|*.jsonl|"
                                        "Script SQL para PostgreSQL (*.sql)|*.sql|"
                                        "Script SQL para SQLite (*.sql)|*.sql|"
                                        "Script SQL para MySQL/MariaDB (*.sql)|*.sql||");
inline constexpr auto kNothingToExport = Ansi("No hay ninguna tabla abierta que exportar.");
inline constexpr auto kExportDone = Ansi("Done");

// The list's context menu (MainDialog, RecordCommands).
inline constexpr wchar_t kMenuCodePage[] = L"Código de página";
inline constexpr wchar_t kMenuCopy[] = L"Copiar\tCtrl+C";
inline constexpr wchar_t kMenuView[] = L"Ver registro…\tAlt+Intro";
inline constexpr wchar_t kMenuGoTo[] = L"Ir al registro…\tCtrl+G";
inline constexpr wchar_t kMenuFind[] = L"Buscar…\tCtrl+F";
inline constexpr wchar_t kMenuFindNext[] = L"Buscar siguiente\tF3";

// The "Código de página" submenu (CodePageMenu), DOS pages first, as tables
// of the time were written, then Windows' own.
struct CodePageLabel {
    unsigned CodePage; // 0: the system's ANSI code page, as a table that declares none
    const wchar_t* Label;
};
inline constexpr CodePageLabel kCodePageLabels[] = {
    { 0, L"ANSI del sistema" },
    { 437, L"437 - MS-DOS, Estados Unidos" },
    { 737, L"737 - MS-DOS, griego" },
    { 850, L"850 - MS-DOS, Europa occidental" },
    { 852, L"852 - MS-DOS, Europa central" },
    { 857, L"857 - MS-DOS, turco" },
    { 860, L"860 - MS-DOS, portugués" },
    { 861, L"861 - MS-DOS, islandés" },
    { 863, L"863 - MS-DOS, francés de Canadá" },
    { 865, L"865 - MS-DOS, nórdico" },
    { 866, L"866 - MS-DOS, cirílico" },
    { 874, L"874 - Windows, tailandés" },
    { 932, L"932 - Japonés (Shift-JIS)" },
    { 936, L"936 - Chino simplificado (GBK)" },
    { 949, L"949 - Coreano" },
    { 950, L"950 - Chino tradicional (Big5)" },
    { 1250, L"1250 - Windows, Europa central" },
    { 1251, L"1251 - Windows, cirílico" },
    { 1252, L"1252 - Windows, Europa occidental" },
    { 1253, L"1253 - Windows, griego" },
    { 1254, L"1254 - Windows, turco" },
    { 1255, L"1255 - Windows, hebreo" },
    { 1256, L"1256 - Windows, árabe" },
    { 1257, L"1257 - Windows, báltico" },
    { 1258, L"1258 - Windows, vietnamita" },
    { kCodePageUtf8, L"UTF-8" },
};

// The record commands (RecordCommands, GoToDialog, FindDialog, SearchProgress).
inline constexpr auto kCopyFailed = Ansi("No se pudo copiar el registro: otro programa tiene el portapapeles.");
inline constexpr auto kGoToPrompt = AnsiFormat<unsigned>("&Número de registro (de 1 a %u):");
inline constexpr auto kGoToNothingTyped = AnsiFormat<unsigned>("Escriba un número de registro, de 1 a %u.");
inline constexpr auto kGoToNoSuchRecord = AnsiFormat<const char*, unsigned>(
    "No hay ningún registro %s: la tabla tiene registros de 1 a %u.");
inline constexpr auto kFindNothingTyped = Ansi("Escriba el texto que busca.");
inline std::wstring NotFoundText(const std::wstring& text)
{
    return L"No se encontró «" + text + L"».";
}
inline std::wstring SearchingText(const std::wstring& text)
{
    return L"Buscando «" + text + L"»…";
}
// For swprintf: the record's number and the table's count.
inline constexpr wchar_t kRecordViewTitle[] = L"Registro %u de %u";
