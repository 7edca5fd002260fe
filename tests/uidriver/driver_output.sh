# Reading the UI driver's output in shell test scripts; the last run's output
# (carriage returns removed) is in $out.
#   field KEY [TEXT]   the rest of the first "KEY ..." line of TEXT (default $out)
#   nth N              the output of the Nth command of a chained run (1-based):
#                      its lines up to and including its "status" line
field() { sed -n "s/^$1 //p" <<<"${2:-$out}" | head -n1; }
nth() { awk -v n="$1" 'n == 1 { print } /^status / { if (--n == 0) exit }' <<<"$out"; }
