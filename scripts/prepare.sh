# Sourced by the run and bench scripts: installs what is missing, builds, starts the private
# database server in $1 (stopped again when the calling script exits) and points unixODBC at
# its data sources.
prepare_with_database() {
  local state="$1"
  bash "$root/scripts/deps.sh"
  bash "$root/scripts/build.sh"
  bash "$root/scripts/db.sh" start "$state"
  trap "bash '$root/scripts/db.sh' stop '$state'" EXIT
  eval "$(bash "$root/scripts/db.sh" env "$state")"
}
