"""Generator of the game's data folder: pictures, fonts, gem sets, sounds, help."""
