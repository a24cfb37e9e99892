errors.txt:4: error: Class type "r" unkown.
errors.txt:5: error: AY not implemented.
errors.txt:6: error: AF not implemented.
errors.txt:7: error: Not a coordinate: Both points cannot be in the same time N
errors.txt:8: error: Not a coordinate: data not a valid coordinate format. DMS, DM or DD formats expected.
errors.txt:9: error: DA data is in unkown format (DA radius must be between 1 and 1000.).
errors.txt:10: error: DA data is in unkown format ('2.5' is not a valid integer value).
errors.txt:12: error: Variable assignment data is in unkown format (D values can be only - or +.).
errors.txt:13: error: AC	R not implemented.
errors.txt:14: error: DC data is in unkown format (DC radius must be between 0 and 1000.).
errors.txt:15: error: Brush data is in unkown format (Brush rgb is not a valid rgb. all 3 components must be between 0 and 255.).
errors.txt:16: error: XY not implemented.
errors.txt:18: error: Not a coordinate: Seconds must be between 0 and 60.
