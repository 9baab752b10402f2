# Sourced by the peer checks: sets ext (the files' extension) and transparent (the index a type
# makes transparent, -1 for none) for the qelvaconv type in $type, or exits with status 2.
case $type in
  bmp | rle) ext=bmp transparent=-1 ;;
  gif | gif-i) ext=gif transparent=-1 ;;
  gif-t | gif-ti) ext=gif transparent=0 ;;
  png) ext=png transparent=-1 ;;
  png-t) ext=png transparent=0 ;;
  *) echo "$(basename "$0"): unknown type $type" >&2; exit 2 ;;
esac
