#include "run/message_texts.h"

namespace corvane {

const MessageLanguageTable kMessageTables[kMessageLanguageCount] = {
    // English (language-neutral block)
    {0x0409,
     {/*  1 */ "#APPNAME Patch",
      /*  2 */ "#APPNAME is not installed on your computer or installation is corrupted.",
      /*  3 */ "Your #APPNAME version (%s) is not supported by this patch (%s).",
      /*  4 */ "#APPNAME patch %s has been already applied.",
      /*  5 */ "The version of #APPNAME (%s) \nis more recent than this patch version (%s).",
      /*  6 */ "#APPNAME patch %s has been applied successfully.",
      /*  7 */ "Patch cannot continue. The disk %s is almost full.",
      /*  8 */ "#APPNAME addon installed: %s.",
      /*  9 */
      "Some error occurred during patch installation.\r\nPatch file is probably dammaged. You may "
      "need to download it again.\r\nError in file %s, phase %d.",
      /* 10 */ "File %s is missing.",
      /* 11 */ "Verifying #APPNAME, version %d.%02d...",
      /* 12 */ "Error found in file %s (%08x!=%08x)",
      /* 13 */ "Warning: No CRC information about version %d.%02d.",
      /* 14 */
      "One or more files in game instalation are modified or dammaged.\r\nReinstall game from "
      "original CD disc and try again.\r\n",
      /* 15 */ "Note: No CRC information about file %s, version %d.%02d.",
      /* 16 */ "#APPNAME: Updating version %s to version %s...",
      /* 17 */ "#APPNAME: Installing addon %s.",
      /* 18 */ "Checking file %s",
      /* 19 */ "Game version %d.%02d required.\r\nYour current version is %d.%02d.",
      /* 20 */ "Warning: Error found in file %s (%08x!=%08x)",
      /* 21 */ "Error found in file %s",
      /* 22 */
      "File %s is in use.\r\nClose the game and any program using the file, then choose Retry.",
      /* 23 */
      "Cannot write to the folder %s.\r\nMake sure you may change files there (run the patch as an "
      "administrator if needed), then choose Retry.",
      /* 24 */
      "Another #APPNAME patch is running on this installation.\r\nWait until it has finished, then "
      "run this patch again.",
      /* 25 */
      "The registry value %s could not be written.\r\nPatch installation is not complete; run the "
      "patch again.",
      /* 26 */ "The patch was stopped before it was finished. Run it again to complete the update.",
      /* 27 */ "Cannot open the patch file %s.",
      /* 28 */
      "The registry of %s cannot be changed while it is in use.\r\nClose every program that uses "
      "it, then run the patch again."}},
    // German
    {0x0407,
     {/*  1 */ "#APPNAME Patch",
      /*  2 */
      "#APPNAME ist auf Ihrem Computer nicht installiert, oder die Installation ist besch\xE4"
      "digt.",
      /*  3 */ "Ihre #APPNAME-Version (%s) wird von diesem Patch (%s) nicht unterst\xFCtzt.",
      /*  4 */ "Der #APPNAME-Patch %s wurde bereits installiert.",
      /*  5 */ "Die Version von #APPNAME (%s) \nist neuer als die Version dieses Patches (%s).",
      /*  6 */ "Der #APPNAME-Patch %s wurde erfolgreich installiert.",
      /*  7 */ "Der Patch kann nicht fortgesetzt werden. Das Laufwerk %s ist fast voll.",
      /*  8 */ "#APPNAME-Erweiterung installiert: %s.",
      /*  9 */
      "Bei der Installation des Patches ist ein Fehler aufgetreten.\r\nDie Patch-Datei ist "
      "vermutlich besch\xE4"
      "digt. Laden Sie sie gegebenenfalls erneut herunter.\r\nFehler in Datei %s, Phase %d.",
      /* 10 */ "Die Datei %s fehlt.",
      /* 11 */
      "#APPNAME, Version %d.%02d, wird \xFC"
      "berpr\xFC"
      "ft...",
      /* 12 */ "Fehler in Datei %s gefunden (%08x!=%08x)",
      /* 13 */ "Warnung: Keine CRC-Informationen zu Version %d.%02d.",
      /* 14 */
      "Eine oder mehrere Dateien der Spielinstallation wurden ver\xE4ndert oder sind besch\xE4"
      "digt.\r\nInstallieren Sie das Spiel von der Original-CD neu und versuchen Sie es "
      "erneut.\r\n",
      /* 15 */ "Hinweis: Keine CRC-Informationen zur Datei %s, Version %d.%02d.",
      /* 16 */ "#APPNAME: Version %s wird auf Version %s aktualisiert...",
      /* 17 */ "#APPNAME: Erweiterung %s wird installiert.",
      /* 18 */
      "Datei %s wird gepr\xFC"
      "ft",
      /* 19 */ "Spielversion %d.%02d erforderlich.\r\nIhre aktuelle Version ist %d.%02d.",
      /* 20 */ "Warnung: Fehler in Datei %s gefunden (%08x!=%08x)",
      /* 21 */ "Fehler in Datei %s gefunden",
      /* 22 */
      "Die Datei %s wird verwendet.\r\nSchlie\xDF"
      "en Sie das Spiel und alle Programme, die die Datei verwenden, und w\xE4hlen Sie dann "
      "Wiederholen.",
      /* 23 */
      "In den Ordner %s kann nicht geschrieben werden.\r\nStellen Sie sicher, dass Sie dort "
      "Dateien \xE4ndern d\xFCrfen (f\xFChren Sie den Patch gegebenenfalls als Administrator aus), "
      "und w\xE4hlen Sie dann Wiederholen.",
      /* 24 */
      "Ein anderer #APPNAME-Patch l\xE4uft bereits f\xFCr diese Installation.\r\nWarten Sie, bis "
      "er beendet ist, und starten Sie diesen Patch dann erneut.",
      /* 25 */
      "Der Registrierungswert %s konnte nicht geschrieben werden.\r\nDie Patch-Installation ist "
      "nicht vollst\xE4ndig. F\xFChren Sie den Patch erneut aus.",
      /* 26 */
      "Der Patch wurde vor dem Ende angehalten. F\xFChren Sie ihn erneut aus, um die "
      "Aktualisierung abzuschlie\xDF"
      "en.",
      /* 27 */
      "Die Patch-Datei %s kann nicht ge\xF6"
      "ffnet werden.",
      /* 28 */
      "Die Registrierung von %s kann nicht ge\xE4ndert werden, solange sie verwendet "
      "wird.\r\nSchlie\xDF"
      "en Sie alle Programme, die sie verwenden, und f\xFChren Sie den Patch dann erneut aus."}},
    // French
    {0x040C,
     {/*  1 */ "Correctif #APPNAME",
      /*  2 */
      "#APPNAME n'est pas install\xE9 sur votre ordinateur ou l'installation est endommag\xE9"
      "e.",
      /*  3 */ "Votre version de #APPNAME (%s) n'est pas prise en charge par ce correctif (%s).",
      /*  4 */ "Le correctif %s de #APPNAME a d\xE9j\xE0 \xE9t\xE9 appliqu\xE9.",
      /*  5 */
      "La version de #APPNAME (%s) \nest plus r\xE9"
      "cente que la version de ce correctif (%s).",
      /*  6 */ "Le correctif %s de #APPNAME a \xE9t\xE9 appliqu\xE9 avec succ\xE8s.",
      /*  7 */ "Le correctif ne peut pas continuer. Le disque %s est presque plein.",
      /*  8 */
      "Extension de #APPNAME install\xE9"
      "e : %s.",
      /*  9 */
      "Une erreur s'est produite pendant l'installation du correctif.\r\nLe fichier du correctif "
      "est probablement endommag\xE9. Vous devrez peut-\xEAtre le t\xE9l\xE9"
      "charger \xE0 nouveau.\r\nErreur dans le fichier %s, phase %d.",
      /* 10 */ "Le fichier %s est manquant.",
      /* 11 */ "V\xE9rification de #APPNAME, version %d.%02d...",
      /* 12 */
      "Erreur d\xE9tect\xE9"
      "e dans le fichier %s (%08x!=%08x)",
      /* 13 */ "Avertissement : aucune information CRC pour la version %d.%02d.",
      /* 14 */
      "Un ou plusieurs fichiers de l'installation du jeu sont modifi\xE9s ou "
      "endommag\xE9s.\r\nR\xE9installez le jeu \xE0 partir du CD original et r\xE9"
      "essayez.\r\n",
      /* 15 */ "Remarque : aucune information CRC pour le fichier %s, version %d.%02d.",
      /* 16 */ "#APPNAME : mise \xE0 jour de la version %s vers la version %s...",
      /* 17 */ "#APPNAME : installation de l'extension %s.",
      /* 18 */ "V\xE9rification du fichier %s",
      /* 19 */ "La version %d.%02d du jeu est requise.\r\nVotre version actuelle est %d.%02d.",
      /* 20 */
      "Avertissement : erreur d\xE9tect\xE9"
      "e dans le fichier %s (%08x!=%08x)",
      /* 21 */
      "Erreur d\xE9tect\xE9"
      "e dans le fichier %s",
      /* 22 */
      "Le fichier %s est en cours d'utilisation.\r\nFermez le jeu et tout programme qui utilise ce "
      "fichier, puis choisissez R\xE9"
      "essayer.",
      /* 23 */
      "Impossible d'\xE9"
      "crire dans le dossier %s.\r\nV\xE9rifiez que vous pouvez y modifier des fichiers (lancez le "
      "correctif en tant qu'administrateur si n\xE9"
      "cessaire), puis choisissez R\xE9"
      "essayer.",
      /* 24 */
      "Un autre correctif #APPNAME est en cours sur cette installation.\r\nAttendez qu'il soit "
      "termin\xE9, puis relancez ce correctif.",
      /* 25 */
      "La valeur de registre %s n'a pas pu \xEAtre \xE9"
      "crite.\r\nL'installation du correctif n'est pas termin\xE9"
      "e ; relancez le correctif.",
      /* 26 */
      "Le correctif a \xE9t\xE9 interrompu avant la fin. Relancez-le pour terminer la mise \xE0 "
      "jour.",
      /* 27 */ "Impossible d'ouvrir le fichier de correctif %s.",
      /* 28 */
      "Le registre de %s ne peut pas \xEAtre modifi\xE9 tant qu'il est utilis\xE9.\r\nFermez tous "
      "les programmes qui l'utilisent, puis relancez le correctif."}},
    // Italian
    {0x0410,
     {/*  1 */ "Patch di #APPNAME",
      /*  2 */ "#APPNAME non \xE8 installato sul computer oppure l'installazione \xE8 danneggiata.",
      /*  3 */ "La versione di #APPNAME installata (%s) non \xE8 supportata da questa patch (%s).",
      /*  4 */ "La patch %s di #APPNAME \xE8 gi\xE0 stata applicata.",
      /*  5 */
      "La versione di #APPNAME (%s) \n\xE8 pi\xF9 recente della versione di questa patch (%s).",
      /*  6 */ "La patch %s di #APPNAME \xE8 stata applicata correttamente.",
      /*  7 */ "Impossibile continuare l'applicazione della patch. Il disco %s \xE8 quasi pieno.",
      /*  8 */ "Espansione di #APPNAME installata: %s.",
      /*  9 */
      "Si \xE8 verificato un errore durante l'installazione della patch.\r\nIl file della patch "
      "\xE8 probabilmente danneggiato. Potrebbe essere necessario scaricarlo di nuovo.\r\nErrore "
      "nel file %s, fase %d.",
      /* 10 */ "Il file %s \xE8 mancante.",
      /* 11 */ "Verifica di #APPNAME, versione %d.%02d...",
      /* 12 */ "Errore rilevato nel file %s (%08x!=%08x)",
      /* 13 */ "Attenzione: nessuna informazione CRC sulla versione %d.%02d.",
      /* 14 */
      "Uno o pi\xF9 file dell'installazione del gioco sono stati modificati o sono "
      "danneggiati.\r\nReinstallare il gioco dal CD originale e riprovare.\r\n",
      /* 15 */ "Nota: nessuna informazione CRC sul file %s, versione %d.%02d.",
      /* 16 */ "#APPNAME: aggiornamento dalla versione %s alla versione %s...",
      /* 17 */ "#APPNAME: installazione dell'espansione %s.",
      /* 18 */ "Controllo del file %s",
      /* 19 */ "\xC8 richiesta la versione %d.%02d del gioco.\r\nLa versione attuale \xE8 %d.%02d.",
      /* 20 */ "Attenzione: errore rilevato nel file %s (%08x!=%08x)",
      /* 21 */ "Errore rilevato nel file %s",
      /* 22 */
      "Il file %s \xE8 in uso.\r\nChiudi il gioco e ogni programma che usa il file, poi scegli "
      "Riprova.",
      /* 23 */
      "Impossibile scrivere nella cartella %s.\r\nVerifica di poter modificare i file in quella "
      "cartella (se necessario avvia la patch come amministratore), poi scegli Riprova.",
      /* 24 */
      "Un'altra patch di #APPNAME \xE8 in esecuzione su questa installazione.\r\nAttendi che "
      "termini, poi avvia di nuovo questa patch.",
      /* 25 */
      "Impossibile scrivere il valore di registro %s.\r\nL'installazione della patch non \xE8 "
      "completa; avvia di nuovo la patch.",
      /* 26 */
      "La patch \xE8 stata interrotta prima della fine. Avviala di nuovo per completare "
      "l'aggiornamento.",
      /* 27 */ "Impossibile aprire il file della patch %s.",
      /* 28 */
      "Il registro di %s non pu\xF2 essere modificato mentre \xE8 in uso.\r\nChiudi tutti i "
      "programmi che lo usano, poi avvia di nuovo la patch."}},
    // Spanish
    {0x0C0A,
     {/*  1 */ "Parche de #APPNAME",
      /*  2 */
      "#APPNAME no est\xE1 instalado en su equipo o la instalaci\xF3n est\xE1 da\xF1"
      "ada.",
      /*  3 */ "Su versi\xF3n de #APPNAME (%s) no es compatible con este parche (%s).",
      /*  4 */ "El parche %s de #APPNAME ya se ha aplicado.",
      /*  5 */
      "La versi\xF3n de #APPNAME (%s) \nes m\xE1s reciente que la versi\xF3n de este parche (%s).",
      /*  6 */ "El parche %s de #APPNAME se ha aplicado correctamente.",
      /*  7 */ "El parche no puede continuar. El disco %s est\xE1 casi lleno.",
      /*  8 */ "Expansi\xF3n de #APPNAME instalada: %s.",
      /*  9 */
      "Se ha producido un error durante la instalaci\xF3n del parche.\r\nEs probable que el "
      "archivo del parche est\xE9 da\xF1"
      "ado. Puede que tenga que descargarlo de nuevo.\r\nError en el archivo %s, fase %d.",
      /* 10 */ "Falta el archivo %s.",
      /* 11 */ "Verificando #APPNAME, versi\xF3n %d.%02d...",
      /* 12 */ "Se ha encontrado un error en el archivo %s (%08x!=%08x)",
      /* 13 */ "Advertencia: no hay informaci\xF3n CRC de la versi\xF3n %d.%02d.",
      /* 14 */
      "Uno o varios archivos de la instalaci\xF3n del juego est\xE1n modificados o da\xF1"
      "ados.\r\nVuelva a instalar el juego desde el CD original e int\xE9ntelo de nuevo.\r\n",
      /* 15 */ "Nota: no hay informaci\xF3n CRC del archivo %s, versi\xF3n %d.%02d.",
      /* 16 */ "#APPNAME: actualizando la versi\xF3n %s a la versi\xF3n %s...",
      /* 17 */ "#APPNAME: instalando la expansi\xF3n %s.",
      /* 18 */ "Comprobando el archivo %s",
      /* 19 */ "Se requiere la versi\xF3n %d.%02d del juego.\r\nSu versi\xF3n actual es %d.%02d.",
      /* 20 */ "Advertencia: se ha encontrado un error en el archivo %s (%08x!=%08x)",
      /* 21 */ "Se ha encontrado un error en el archivo %s",
      /* 22 */
      "El archivo %s est\xE1 en uso.\r\nCierre el juego y cualquier programa que use el archivo y "
      "elija Reintentar.",
      /* 23 */
      "No se puede escribir en la carpeta %s.\r\nCompruebe que puede modificar archivos en ella "
      "(ejecute el parche como administrador si es necesario) y elija Reintentar.",
      /* 24 */
      "Otro parche de #APPNAME se est\xE1 ejecutando en esta instalaci\xF3n.\r\nEspere a que "
      "termine y vuelva a ejecutar este parche.",
      /* 25 */
      "No se pudo escribir el valor del registro %s.\r\nLa instalaci\xF3n del parche no est\xE1 "
      "completa; vuelva a ejecutar el parche.",
      /* 26 */
      "El parche se detuvo antes de terminar. Vuelva a ejecutarlo para completar la "
      "actualizaci\xF3n.",
      /* 27 */ "No se puede abrir el archivo de parche %s.",
      /* 28 */
      "El registro de %s no se puede modificar mientras est\xE1 en uso.\r\nCierre todos los "
      "programas que lo usan y vuelva a ejecutar el parche."}},

};

const MessageLanguageTable& MessageTableForLanguage(uint16_t language) {
  // The low ten bits of a language id are its primary language.
  for (const MessageLanguageTable& table : kMessageTables) {
    if ((table.language & 0x3FF) == (language & 0x3FF)) return table;
  }
  return kMessageTables[0];
}

const char* MessageText(uint16_t language, int id) {
  if (id < 1 || id > kMessageCount) return nullptr;
  return MessageTableForLanguage(language).texts[id - 1];
}

}  // namespace corvane
