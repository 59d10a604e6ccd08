// The persistent record: the three trip channels and every setting, at fixed
// byte addresses of the EEPROM, read at start-up, repaired value by value,
// and written at the orderly power-down.
#pragma once

// Loads the record into the settings and channels (a read that fails leaves
// its value as it was).
void readee(void);
// Writes the record back.
void writeee(void);
// Repairs implausible values in RAM; returns the number of failed tests.
int check_eeprom_integrity(void);
