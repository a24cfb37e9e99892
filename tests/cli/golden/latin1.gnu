latin1.txt:4: error: éX not implemented.
latin1.txt:5: error: Class type "Ã©" unkown.
latin1.txt:6: error: Class type "ÿþ" unkown.
