; Before anything is replaced or removed: every file of the installation that exists must be
; open-able for writing. A program still running from the folder (another account's client,
; Brenwick.exe, a library loaded by someone) holds its file; finding that first means the setup
; either replaces every file or none, and never leaves a half-replaced installation.

!macro QuorinCheckLayoutFile FOLDER NAME SOURCE
  Push "${FOLDER}"
  Push "${NAME}"
  Call ${QUORIN_UN}QuorinCheckOneFile
!macroend

!macro QuorinFilesInUseFunctions UN

; Stack in: folder, name (name pushed last). Sets $R9 to the file's path when it exists and
; cannot be opened for writing; does nothing once $R9 names a file.
Function ${UN}QuorinCheckOneFile
  Exch $R0 ; name
  Exch
  Exch $R1 ; folder
  Push $R2
  Push $R3
  StrCmp $R9 "" 0 done
  StrCpy $R2 "$INSTDIR\$R0"
  StrCmp $R1 "" +2
  StrCpy $R2 "$INSTDIR\$R1\$R0"
  IfFileExists $R2 0 done
  ClearErrors
  FileOpen $R3 $R2 a
  IfErrors in_use
  FileClose $R3
  Goto done
  in_use:
  StrCpy $R9 $R2
  done:
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; $R9: the first file of the installation that is in use, or "" when none is.
Function ${UN}QuorinFileInUse
  StrCpy $R9 ""
  !define QUORIN_UN "${UN}"
  !insertmacro QuorinLayoutFiles QuorinCheckLayoutFile
  ; The setup replaces the uninstaller too; the uninstaller runs from a copy of itself, or in
  ; place (_?=) where its own file is held by itself and stays behind.
  !if "${UN}" == ""
    !insertmacro QuorinCheckLayoutFile "" "uninstall.exe" ""
  !endif
  !undef QUORIN_UN
FunctionEnd

!macroend
