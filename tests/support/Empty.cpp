// Header-only helpers live beside this file.
