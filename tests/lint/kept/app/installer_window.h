// Stands for a header of a higher folder, named only in comments and strings below.
