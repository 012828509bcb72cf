{ Überschrift: कुछ टिप्पणी } TITLE "तापीय चालकता — Wärmeleitung"
/* 注释 */ VARIABLES Û Ä ! 説明
DEFINITIONS kÛß = 1.5 { ünïcödé { nested } } 'Straße'
END
